#pragma once

#include <string>
#include <utility>
#include <vector>

// Ordered name-value pairs, as requests list their fields.
using Fields = std::vector<std::pair<std::string, std::string>>;

// The sign rule shared by every signed request, and the nonce.
namespace Signing {

// "name=value" pairs in ascending byte order of name, joined by "&", then "&key=" + key.
std::string signString(Fields fields, const std::string &key);
// 32 upper-case hexadecimal digits of the MD5 of `text`.
std::string signOf(const std::string &text);
// signOf(signString(fields, key)).
std::string sign(const Fields &fields, const std::string &key);
// 16 to 31 decimal digits from a properly seeded generator: two calls in the same second
// give different nonces.
std::string nonce();

} // namespace Signing
