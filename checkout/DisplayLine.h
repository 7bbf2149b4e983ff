#pragma once

#include <QByteArray>
#include <QString>

// What a till sends to its customer pole display, read on the collection port: the bytes after
// the upper-line command ESC "Q" "A" are the amount shown to the customer.
namespace DisplayLine {

// The display reader's text buffer, terminator included.
constexpr int kBufferBytes = 1024;

// The bytes after the first ESC "Q" "A" that is followed by at least one more byte, up to the
// end of `data` or its first zero byte, at most kBufferBytes - 1 of them; empty when there is
// no such sequence.
QByteArray payload(const QByteArray &data);
// The payload as text in the local code page.
QString text(const QByteArray &data);

} // namespace DisplayLine
