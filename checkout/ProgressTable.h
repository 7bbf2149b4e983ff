#pragma once

#include <optional>

// The dot pattern of the progress window while an order is polled. The polling thread reports
// each attempt (1 to 15) several times; the current phase (0 to 5) and the attempt's group of
// three pick how many dots are lit from the left and which phase comes next. Within one poll
// the row fills up and starts again, and later attempts keep more dots lit.
namespace ProgressTable {

constexpr int kDotCount = 5;
constexpr int kPhaseCount = 6;
constexpr int kLastAttempt = 15;

struct Cell
{
    int lit; // dots lit from the left, 0 to kDotCount
    int nextPhase; // 0 to kPhaseCount - 1
};

// Attempt 1..15 and phase 0..5 give the cell of the table; anything else gives nullopt.
std::optional<Cell> cell(int phase, int attempt);

} // namespace ProgressTable
