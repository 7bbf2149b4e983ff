#pragma once

#include <optional>

// Which of the two field pairs of the connection group the settings page shows for a
// connection mode: the serial port (mode 1) or the IP address (mode 2); neither for the
// keyboard-hook program (mode 0).
namespace ConnectionPairs {

struct Visibility
{
    bool serialPort = false; // label_com, comboBox_ComSet
    bool ipAddress = false; // label_8, lineEditIP

    bool operator==(const Visibility &other) const
    {
        return serialPort == other.serialPort && ipAddress == other.ipAddress;
    }
};

// The pairs for mode 0, 1 or 2; nothing for another value, which leaves them as they are.
std::optional<Visibility> forMode(int connMode);

} // namespace ConnectionPairs
