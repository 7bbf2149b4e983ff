#pragma once

#include <string>

// The connection of the payment-code source (section adbinfo): read from the configuration
// when the checkout starts, shown and partly changed by the settings page, and read by the
// reader threads when they start. Process-wide; safe to read and write from any thread.
class ConnectionSettings final
{
public:
    struct Values
    {
        std::string ip = "192.168.1.160";
        int port = 10000;
        int connMode = 0; // 0 keyboard hook, 1 serial scanner, 2 network device
        std::string com = "COM7";
    };

    static Values get();
    static void set(const Values &values);
    // The serial port name chosen in the settings; the running reader keeps its port.
    static void setCom(const std::string &com);
};
