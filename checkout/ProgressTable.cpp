#include "ProgressTable.h"

namespace ProgressTable {

namespace {

constexpr int kAttemptsPerGroup = 3;
constexpr int kGroupCount = kLastAttempt / kAttemptsPerGroup;

// Rows are phases, columns the attempt groups 1-3, 4-6, 7-9, 10-12 and 13-15.
constexpr Cell kTable[kPhaseCount][kGroupCount] = {
    {{0, 1}, {1, 1}, {2, 1}, {3, 1}, {4, 1}},
    {{1, 2}, {2, 2}, {3, 2}, {4, 2}, {5, 0}},
    {{2, 3}, {3, 3}, {4, 3}, {5, 0}, {2, 3}},
    {{3, 4}, {4, 4}, {5, 0}, {3, 4}, {3, 4}},
    {{4, 5}, {5, 0}, {5, 5}, {4, 5}, {4, 5}},
    {{5, 0}, {5, 0}, {5, 0}, {5, 0}, {5, 0}},
};

} // namespace

std::optional<Cell> cell(int phase, int attempt)
{
    if (phase < 0 || phase >= kPhaseCount || attempt < 1 || attempt > kLastAttempt)
        return std::nullopt;
    return kTable[phase][(attempt - 1) / kAttemptsPerGroup];
}

} // namespace ProgressTable
