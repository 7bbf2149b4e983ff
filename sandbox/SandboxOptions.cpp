#include "SandboxOptions.h"

#include "FieldRules.h"

#include <cstdlib>

std::string SandboxOptions::usage()
{
    return "usage: tallyport-sandbox [--port P] [--data-dir D] [--offer-version V] "
           "[--offer-file F]\n"
           "                         [--cert-host H]\n"
           "                         [--fault-delay MS] [--fault-status S] "
           "[--fault-invalid-json]\n"
           "                         [--fault-redirects K] [--fault-drop] [--fault-count N]\n";
}

std::string SandboxOptions::defaultDataDir()
{
    const char *dataHome = std::getenv("XDG_DATA_HOME");
    if (dataHome && *dataHome) {
        return std::string(dataHome) + "/tallyport-sandbox";
    }
    const char *home = std::getenv("HOME");
    return std::string(home && *home ? home : ".") + "/.local/share/tallyport-sandbox";
}

std::optional<SandboxOptions> SandboxOptions::parse(
    const std::vector<std::string> &arguments, std::string &error)
{
    SandboxOptions options;
    int faultCount = 1;
    size_t index = 0;
    const auto number = [&](const std::string &name, const std::string &text, long long minValue,
                            long long maxValue, int &target) {
        const auto value = text == "0" ? std::optional<long long>(0)
                                       : FieldRules::positiveInteger(text, maxValue);
        if (!value || *value < minValue) {
            error = "bad value for " + name + ": \"" + text + "\"";
            return false;
        }
        target = static_cast<int>(*value);
        return true;
    };
    while (index < arguments.size()) {
        std::string name = arguments[index++];
        std::optional<std::string> inlineValue;
        const size_t equals = name.find('=');
        if (name.rfind("--", 0) == 0 && equals != std::string::npos) {
            inlineValue = name.substr(equals + 1);
            name = name.substr(0, equals);
        }
        const auto takeValue = [&](std::string &value) {
            if (inlineValue) {
                value = *inlineValue;
                return true;
            }
            if (index >= arguments.size()) {
                error = name + " needs a value";
                return false;
            }
            value = arguments[index++];
            return true;
        };
        const auto noValue = [&]() {
            if (inlineValue) {
                error = name + " takes no value";
                return false;
            }
            return true;
        };
        std::string value;
        Fault fault;
        if (name == "--help" || name == "-h") {
            options.help = true;
        } else if (name == "--port") {
            if (!takeValue(value) || !number(name, value, 0, 65535, options.port)) {
                return std::nullopt;
            }
        } else if (name == "--data-dir") {
            if (!takeValue(value)) {
                return std::nullopt;
            }
            if (value.empty()) {
                error = "--data-dir needs a directory";
                return std::nullopt;
            }
            options.dataDir = value;
        } else if (name == "--offer-version") {
            if (!takeValue(value)) {
                return std::nullopt;
            }
            options.offerVersion = value;
        } else if (name == "--offer-file") {
            if (!takeValue(value)) {
                return std::nullopt;
            }
            if (value.empty() || value.back() == '/') {
                error = "--offer-file needs a file";
                return std::nullopt;
            }
            options.offerFile = value;
        } else if (name == "--cert-host") {
            if (!takeValue(value)) {
                return std::nullopt;
            }
            if (value.empty() || value.find_first_of(",: /") != std::string::npos) {
                error = "--cert-host needs one host name";
                return std::nullopt;
            }
            options.certHost = value;
        } else if (name == "--fault-delay") {
            fault.kind = Fault::Kind::Delay;
            if (!takeValue(value) || !number(name, value, 0, FaultPlan::kMaxDelayMs, fault.value)) {
                return std::nullopt;
            }
            options.faults.push_back(fault);
        } else if (name == "--fault-status") {
            fault.kind = Fault::Kind::Status;
            if (!takeValue(value) || !number(name, value, 100, 599, fault.value)) {
                return std::nullopt;
            }
            options.faults.push_back(fault);
        } else if (name == "--fault-invalid-json") {
            if (!noValue()) {
                return std::nullopt;
            }
            fault.kind = Fault::Kind::InvalidJson;
            options.faults.push_back(fault);
        } else if (name == "--fault-redirects") {
            fault.kind = Fault::Kind::Redirect;
            if (!takeValue(value)
                || !number(name, value, 1, FaultPlan::kMaxRedirects, fault.value)) {
                return std::nullopt;
            }
            options.faults.push_back(fault);
        } else if (name == "--fault-drop") {
            if (!noValue()) {
                return std::nullopt;
            }
            fault.kind = Fault::Kind::Drop;
            options.faults.push_back(fault);
        } else if (name == "--fault-count") {
            if (!takeValue(value) || !number(name, value, 1, FaultPlan::kMaxCount, faultCount)) {
                return std::nullopt;
            }
        } else {
            error = "unknown option: " + name;
            return std::nullopt;
        }
    }
    for (Fault &fault : options.faults) {
        fault.count = faultCount;
    }
    if (options.dataDir.empty()) {
        options.dataDir = defaultDataDir();
    }
    return options;
}
