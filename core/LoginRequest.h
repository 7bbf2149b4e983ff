#pragma once

#include <string>

struct LoginSession;

// The login exchange with the gateway (path /api/login): no envelope and no sign; the
// password travels as a salted double MD5 proof.
namespace LoginRequest {

constexpr const char *kPath = "/api/login";
constexpr const char *kSalt = "qorvatine";

// Upper case of MD5(MD5(password) + "qorvatine"), both MD5 in lower-case hex.
std::string passwordProof(const std::string &passwordLocal);
// {"type":"1","terminal":"2","tel":"PHONE","pass":"PROOF"}
std::string body(const std::string &tel, const std::string &proof);
// The body as it goes to the run log: the proof replaced by asterisks.
std::string maskedBody(const std::string &tel);

enum class LoginOutcome {
    NoReply, // empty, not JSON, or of the wrong shape: the request failed
    Refused, // "code" other than "100"
    LoggedIn,
};

// Reads "code" and, when it is "100", the session fields of "data" in their fixed order into
// `session`. A missing key ends the reading: the fields read so far are kept, the others
// keep their earlier values, and "code" alone decides. A reply of the wrong shape changes
// nothing and counts as no reply.
LoginOutcome decodeReply(const std::string &reply, LoginSession &session);

} // namespace LoginRequest
