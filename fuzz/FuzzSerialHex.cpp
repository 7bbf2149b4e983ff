// A serial scanner's bytes through everything the checkout does with them: the reader's hex
// text and its digits, the short and long read-back, and the classification of the result.
// The input also goes to the decoders directly, as digits that did not come from a reader.
#include "InputCode.h"
#include "SerialHex.h"

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<int>(size));
    const std::string digits = SerialHex::withoutLowerCase(SerialHex::hexOfBytes(bytes));
    const QString fromReader = QString::fromLatin1(digits.data(), static_cast<int>(digits.size()));
    const QString direct = QString::fromLatin1(bytes);
    for (const QString &text : {fromReader, direct}) {
        const std::string code = text.size() < SerialHex::kLongForm ? SerialHex::decodeShort(text)
                                                                    : SerialHex::decodeLong(text);
        InputCode::classify(code);
    }
    SerialHex::unicodeToString(bytes.toStdString());
    return 0;
}
