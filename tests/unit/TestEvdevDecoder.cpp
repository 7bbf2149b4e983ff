// KeyHook's reading of a keyboard-wedge scanner: key presses become characters, Shift and
// Caps Lock choose the shifted form, Enter ends a code.
#include "EvdevDecoder.h"

#include <QtTest>

#include <linux/input-event-codes.h>

#include <vector>

namespace {

struct Event
{
    std::uint16_t type;
    std::uint16_t code;
    std::int32_t value;
};

using Events = std::vector<Event>;

// A key pressed and released, with the report that follows each.
void key(Events &events, std::uint16_t code)
{
    events.push_back({EV_KEY, code, 1});
    events.push_back({EV_SYN, SYN_REPORT, 0});
    events.push_back({EV_KEY, code, 0});
    events.push_back({EV_SYN, SYN_REPORT, 0});
}

Events typed(std::initializer_list<std::uint16_t> codes)
{
    Events events;
    for (const std::uint16_t code : codes)
        key(events, code);
    return events;
}

} // namespace

Q_DECLARE_METATYPE(Events)

class TestEvdevDecoder : public QObject
{
    Q_OBJECT

private slots:
    void decode_data();
    void decode();
};

void TestEvdevDecoder::decode_data()
{
    QTest::addColumn<Events>("events");
    QTest::addColumn<QStringList>("codes");

    QTest::newRow("digits and Enter")
        << typed({KEY_1, KEY_3, KEY_4, KEY_0, KEY_ENTER}) << QStringList {"1340"};
    QTest::newRow("keypad digits and keypad Enter")
        << typed({KEY_KP2, KEY_KP8, KEY_KP0, KEY_KPDOT, KEY_KPENTER}) << QStringList {"280."};
    QTest::newRow("two codes") << typed({KEY_1, KEY_ENTER, KEY_2, KEY_ENTER})
                               << QStringList {"1", "2"};
    QTest::newRow("no Enter, no code") << typed({KEY_1, KEY_2}) << QStringList {};
    QTest::newRow("Enter alone gives an empty code") << typed({KEY_ENTER}) << QStringList {""};
    QTest::newRow("keys without a character are skipped")
        << typed({KEY_F1, KEY_9, KEY_LEFTCTRL, KEY_ENTER}) << QStringList {"9"};

    Events shifted;
    shifted.push_back({EV_KEY, KEY_LEFTSHIFT, 1});
    key(shifted, KEY_A);
    key(shifted, KEY_1);
    shifted.push_back({EV_KEY, KEY_LEFTSHIFT, 0});
    key(shifted, KEY_A);
    key(shifted, KEY_MINUS);
    key(shifted, KEY_ENTER);
    QTest::newRow("shift") << shifted << QStringList {"A!a-"};

    Events caps = typed({KEY_CAPSLOCK, KEY_B, KEY_2, KEY_CAPSLOCK, KEY_B, KEY_ENTER});
    QTest::newRow("caps lock shifts letters only") << caps << QStringList {"B2b"};

    Events repeated;
    repeated.push_back({EV_KEY, KEY_7, 1});
    repeated.push_back({EV_KEY, KEY_7, 2});
    repeated.push_back({EV_KEY, KEY_7, 0});
    key(repeated, KEY_ENTER);
    QTest::newRow("auto-repeat types again") << repeated << QStringList {"77"};

    Events longCode;
    for (std::size_t i = 0; i < EvdevDecoder::kMaxCode + 5; ++i)
        key(longCode, KEY_5);
    key(longCode, KEY_ENTER);
    key(longCode, KEY_6);
    key(longCode, KEY_ENTER);
    QTest::newRow("over-long code is dropped") << longCode << QStringList {"", "6"};
}

void TestEvdevDecoder::decode()
{
    QFETCH(Events, events);
    QFETCH(QStringList, codes);

    EvdevDecoder decoder;
    QStringList decoded;
    for (const Event &event : events) {
        if (const std::optional<std::string> code
            = decoder.feed(event.type, event.code, event.value))
            decoded.append(QString::fromStdString(*code));
    }
    QCOMPARE(decoded, codes);
}

QTEST_APPLESS_MAIN(TestEvdevDecoder)
#include "TestEvdevDecoder.moc"
