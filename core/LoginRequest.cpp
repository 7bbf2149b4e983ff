#include "LoginRequest.h"

#include "Envelope.h"
#include "LoginSession.h"
#include "Md5.h"
#include "Reply.h"
#include "Signing.h"

namespace LoginRequest {

std::string passwordProof(const std::string &passwordLocal)
{
    return Signing::signOf(Md5(passwordLocal).toString() + kSalt);
}

std::string body(const std::string &tel, const std::string &proof)
{
    return Envelope::jsonObject({{"type", "1"}, {"terminal", "2"}, {"tel", tel}, {"pass", proof}});
}

std::string maskedBody(const std::string &tel)
{
    return body(tel, std::string(32, '*'));
}

LoginOutcome decodeReply(const std::string &reply, LoginSession &session)
{
    const std::optional<Reply> decoded = Reply::parse(reply);
    if (!decoded)
        return LoginOutcome::NoReply;
    // Read into a copy: a reply of the wrong shape leaves the session as it was.
    LoginSession read = session;
    ReplyReader reader = decoded->reader();
    std::wstring code;
    reader.read("code", code);
    read.code = code;
    if (code == L"100") {
        reader.read("data.appid", read.appid) && reader.read("data.key", read.key)
            && reader.read("data.sid", read.sid) && reader.read("data.uid", read.uid)
            && reader.read("data.api_time", read.apiTime)
            && reader.read("data.mch_name", read.mchName)
            && reader.read("data.mch_name", read.mchNameCopy)
            && reader.read("data.store_name", read.storeName)
            && reader.read("data.store_tel", read.storeTel);
    }
    if (reader.malformed())
        return LoginOutcome::NoReply;
    session = read;
    return code == L"100" ? LoginOutcome::LoggedIn : LoginOutcome::Refused;
}

} // namespace LoginRequest
