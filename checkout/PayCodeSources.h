#pragma once

#include "HandOff.h"
#include "TextMailbox.h"

#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <string>

class QByteArray;
class SerialReader;
class TcpCodeReader;

// The source of scanned payment codes that the connection mode chooses: the keyboard-hook
// program on this machine (0), a serial scanner (1) or a device on the shop network (2). It
// starts the one reader, logs what happens to its connection and hands every received text to
// the owner through `Signals`, which run on the reader's thread (the owner emits its queued
// signals there). Texts of the two TCP sources wait here until the owner's thread takes them.
// Stopped with the object; no signal runs once stop() has returned.
class PayCodeSources final
{
public:
    struct Signals
    {
        std::function<void()> hookText; // a text waits in takeHookText()
        std::function<void()> networkText; // a text waits in takeNetworkText()
        // The decimal digits of the hexadecimal text of one serial read.
        std::function<void(const QString &digits)> serialDigits;
    };

    explicit PayCodeSources(Signals signalsToOwner);
    ~PayCodeSources();
    PayCodeSources(const PayCodeSources &) = delete;
    PayCodeSources &operator=(const PayCodeSources &) = delete;

    // Logs the mode and starts its reader; any other mode starts nothing. On the owner's thread;
    // returns at once: the reader connects, or opens its port, on its own thread.
    void start(int connMode);
    void stop();

    std::optional<std::string> takeHookText();
    std::optional<std::string> takeNetworkText();

    // The keyboard-hook program's port on 127.0.0.1: 1234, or $TALLYPORT_KEYHOOK_PORT when set
    // (tests run their own KeyHook beside any other on the machine).
    static int hookPort();

private:
    void startHookSource();
    void startNetworkSource();
    void startSerialSource();
    void onSerialBytes(const QByteArray &bytes);

    Signals m_signals;
    TextMailbox m_hookTexts;
    TextMailbox m_networkTexts;
    HandOff m_fromReaders; // what the readers' threads ask the owner's thread to do
    std::unique_ptr<TcpCodeReader> m_hookReader;
    std::unique_ptr<TcpCodeReader> m_networkReader;
    std::unique_ptr<SerialReader> m_serialReader;
};
