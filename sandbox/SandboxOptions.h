#pragma once

#include "FaultPlan.h"

#include <optional>
#include <string>
#include <vector>

// The command line of tallyport-sandbox:
//   --port P                 TCP port on 127.0.0.1 (default 8443; 0 picks a free port)
//   --data-dir D             certificates, database and journal (default
//                            $XDG_DATA_HOME/tallyport-sandbox or ~/.local/share/...)
//   --offer-version V        the upgrade check offers version V
//   --offer-file F           the offer's url names F (https://HOST:PORT/download/NAME, HOST as
//                            the upgrade check named it), and a GET of that url is answered
//                            with F's bytes
//   --cert-host H            issue the server certificate for H instead of 127.0.0.1 and
//                            localhost (to see clients refuse a certificate for another host)
//   --fault-delay MS, --fault-status S, --fault-invalid-json, --fault-redirects K,
//   --fault-drop             faults for the first requests, queued in the order given
//   --fault-count N          how many requests each of those faults applies to (default 1)
// Values may also be given as --name=value.
class SandboxOptions
{
public:
    static constexpr int kDefaultPort = 8443;

    int port = kDefaultPort;
    std::string dataDir;
    std::string offerVersion;
    std::string offerFile;
    std::string certHost;
    std::vector<Fault> faults;
    bool help = false;

    // nullopt with `error` set on a bad command line.
    static std::optional<SandboxOptions> parse(
        const std::vector<std::string> &arguments, std::string &error);
    static std::string usage();
    static std::string defaultDataDir();
};
