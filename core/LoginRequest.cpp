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
    ReplyReader reader = decoded->reader();
    std::wstring code;
    reader.read("code", code);
    session.code = code;
    if (code != L"100")
        return LoginOutcome::Refused;
    reader.read("data.appid", session.appid) && reader.read("data.key", session.key)
        && reader.read("data.sid", session.sid) && reader.read("data.uid", session.uid)
        && reader.read("data.api_time", session.apiTime)
        && reader.read("data.mch_name", session.mchName)
        && reader.read("data.mch_name", session.mchNameCopy)
        && reader.read("data.store_name", session.storeName)
        && reader.read("data.store_tel", session.storeTel);
    return LoginOutcome::LoggedIn;
}

} // namespace LoginRequest
