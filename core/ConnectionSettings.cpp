#include "ConnectionSettings.h"

#include <mutex>

namespace {

std::mutex s_mutex;
ConnectionSettings::Values s_values;

} // namespace

ConnectionSettings::Values ConnectionSettings::get()
{
    std::lock_guard<std::mutex> lock(s_mutex);
    return s_values;
}

void ConnectionSettings::set(const Values &values)
{
    std::lock_guard<std::mutex> lock(s_mutex);
    s_values = values;
}

void ConnectionSettings::setCom(const std::string &com)
{
    std::lock_guard<std::mutex> lock(s_mutex);
    s_values.com = com;
}
