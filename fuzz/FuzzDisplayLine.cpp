// What a till sends to its customer display, read on the collection port: the text after the
// upper-line command and the amount the pay forms take out of it.
#include "DisplayAmount.h"
#include "DisplayLine.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<int>(size));
    const QByteArray payload = DisplayLine::payload(bytes);
    if (payload.size() >= DisplayLine::kBufferBytes || payload.contains('\0'))
        __builtin_trap();
    DisplayAmount::extract(DisplayLine::text(bytes));
    return 0;
}
