#pragma once

#include <string>

class ConfigStore;

// Base URLs of the three hosts and an extra trusted CA bundle, from the configuration file.
// Each host defaults to the sandbox gateway on this machine.
struct HostSettings
{
    static constexpr const char *kDefaultHost = "https://127.0.0.1:8443";

    std::string gatewayHost = kDefaultHost;
    std::string tradeHost = kDefaultHost;
    std::string upgradeHost = kDefaultHost;
    std::string caBundle; // PEM file trusted in addition to the system's CAs, UTF-8; may be empty

    static HostSettings load(const ConfigStore &store);
    static HostSettings load(); // from the file in the application directory

    std::string gatewayUrl(const std::string &path) const;
    std::string tradeUrl(const std::string &path) const;
    std::string upgradeUrl(const std::string &path) const;
};
