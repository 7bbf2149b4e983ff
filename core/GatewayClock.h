#pragma once

#include <ctime>
#include <optional>
#include <string>

// The gateway's wall clock. Order numbers, pay times and the login's api_time are written on
// it, and the till's own clock may be wrong (never synchronised, a dead CMOS battery, another
// time zone), so a till compares times on the gateway's clock only. Times are counted in wall
// seconds: a wall time "YYYY-MM-DD HH:MM:SS" counted as if it were UTC, so that two wall times
// of one clock subtract without a time zone.
namespace GatewayClock {

// The wall seconds of a time the gateway tells: "yyyy-MM-dd HH:mm:ss", "yyyyMMddHHmmss", or
// seconds since 1970 (10 digits; 13 digits: milliseconds), which is read in the till's time
// zone. nullopt for anything else, and for a year outside 2000 to 2099.
std::optional<long long> parse(const std::string &text);

// The wall seconds of the till's local time `when`.
long long tillWall(std::time_t when);

// "YYYY-MM-DD HH:MM:SS" of wall seconds.
std::string text(long long wall);

} // namespace GatewayClock
