#include "LoginSession.h"

std::mutex GatewaySession::s_mutex;
GatewaySession::Credentials GatewaySession::s_credentials;

void GatewaySession::set(const Credentials &credentials)
{
    std::lock_guard<std::mutex> lock(s_mutex);
    s_credentials = credentials;
}

GatewaySession::Credentials GatewaySession::get()
{
    std::lock_guard<std::mutex> lock(s_mutex);
    return s_credentials;
}
