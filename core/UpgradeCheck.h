#pragma once

#include "Settings.h"

#include <QString>

#include <optional>
#include <string>

// The upgrade exchange (path /api/update on the upgrade host): signed with the fixed
// application key, answered with an offer or nothing.
namespace UpgradeCheck {

constexpr const char *kPath = "/api/update";
constexpr const char *kAppKey = "lumbridex_app";

// {"type":"2","nonce_str":"…","mark":"0028","sign":"…"}
std::string body(const std::string &nonce);
// The offer when both readings of "status" are "1" and info, version and url are there.
std::optional<UpgradeOffer> decodeOffer(const std::string &reply);
// The updater's parameter line: memo, version and url joined by single blanks, not quoted, so
// a memo with blanks becomes several parameters.
QString updaterParameters(const UpgradeOffer &offer);

} // namespace UpgradeCheck
