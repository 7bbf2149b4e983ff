#pragma once

#include <mutex>
#include <string>

// What a successful login gives the client. The reply's values are wide texts; the phone
// number and password are the 8-bit texts typed at login.
struct LoginSession
{
    std::wstring appid;
    std::wstring key;
    std::wstring sid;
    std::wstring uid;
    std::wstring apiTime;
    std::wstring mchName;
    std::wstring mchNameCopy;
    std::wstring storeName;
    std::wstring storeTel;
    std::string tel;
    std::string password;
    std::wstring code;
};

// The appid, key and sid that every signed request needs: process-wide once a login has
// succeeded, written on the GUI thread and read by the polling threads too.
class GatewaySession final
{
public:
    struct Credentials
    {
        std::wstring appid;
        std::wstring key;
        std::wstring sid;
    };

    static void set(const Credentials &credentials);
    static Credentials get();

private:
    static std::mutex s_mutex;
    static Credentials s_credentials;
};
