#pragma once

#include "Signing.h"

#include <string>

// Request bodies. Keys keep their order, there are no blanks, every value is a JSON string.
namespace Envelope {

// Escapes quote, backslash and control characters; other bytes pass unchanged.
std::string jsonEscape(const std::string &value);
// {"name":"value",...}
std::string jsonObject(const Fields &fields);
// {"appid":"…","method":"…","sign":"…","data":{…}}
std::string build(const std::string &appid, const std::string &method, const std::string &sign,
    const Fields &data);
// name=value&name=value with the values percent-encoded (RFC 3986 unreserved kept).
std::string formEncode(const Fields &fields);
// The reverse of formEncode for one value ("+" reads as a blank). nullopt-free: bad escapes
// are kept as they are.
std::string formDecode(const std::string &value);

} // namespace Envelope
