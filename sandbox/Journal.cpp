#include "Journal.h"

#include "JsonWriter.h"
#include "TimeText.h"

#include <openssl/evp.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

// Length of the valid UTF-8 sequence starting at `pos`, or 0 when the byte there does not
// start one (overlong forms, surrogates and values above U+10FFFF are invalid).
size_t sequenceLength(const std::string &text, size_t pos)
{
    const auto byteAt = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byteAt(pos);
    if (lead < 0x80) {
        return 1;
    }
    size_t length = 0;
    unsigned int lower = 0x80;
    unsigned int upper = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) {
            lower = 0xA0;
        } else if (lead == 0xED) {
            upper = 0x9F;
        }
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) {
            lower = 0x90;
        } else if (lead == 0xF4) {
            upper = 0x8F;
        }
    } else {
        return 0;
    }
    if (pos + length > text.size()) {
        return 0;
    }
    const unsigned char second = byteAt(pos + 1);
    if (second < lower || second > upper) {
        return 0;
    }
    for (size_t i = 2; i < length; ++i) {
        const unsigned char next = byteAt(pos + i);
        if (next < 0x80 || next > 0xBF) {
            return 0;
        }
    }
    return length;
}

} // namespace

Journal::~Journal()
{
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

bool Journal::open(const std::string &path, std::string &error)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (m_fd < 0) {
        error = "cannot open the journal " + path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

bool Journal::append(const JournalEntry &entry)
{
    const std::string text = line(entry, TimeText::journalStamp()) + "\n";
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_fd < 0) {
        return false;
    }
    size_t written = 0;
    while (written < text.size()) {
        const ssize_t n = ::write(m_fd, text.data() + written, text.size() - written);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        written += static_cast<size_t>(n);
    }
    return true;
}

std::string Journal::line(const JournalEntry &entry, const std::string &stamp)
{
    JsonWriter writer;
    writer.beginObject()
        .field("time", stamp)
        .field("method", validUtf8(entry.method))
        .field("path", validUtf8(entry.path));
    writer.beginObject("headers");
    for (const auto &header : entry.headers) {
        writer.field(validUtf8(header.first), validUtf8(header.second));
    }
    writer.endObject();
    if (isValidUtf8(entry.body)) {
        writer.field("body", entry.body);
    } else {
        writer.field("body", validUtf8(entry.body)).field("body_base64", base64(entry.body));
    }
    writer.endObject();
    return writer.text();
}

bool Journal::isValidUtf8(const std::string &text)
{
    for (size_t pos = 0; pos < text.size();) {
        const size_t length = sequenceLength(text, pos);
        if (length == 0) {
            return false;
        }
        pos += length;
    }
    return true;
}

std::string Journal::validUtf8(const std::string &text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t pos = 0; pos < text.size();) {
        const size_t length = sequenceLength(text, pos);
        if (length == 0) {
            out += "\xEF\xBF\xBD";
            ++pos;
        } else {
            out.append(text, pos, length);
            pos += length;
        }
    }
    return out;
}

std::string Journal::base64(const std::string &bytes)
{
    std::string out(4 * ((bytes.size() + 2) / 3) + 1, '\0');
    const int length = EVP_EncodeBlock(reinterpret_cast<unsigned char *>(out.data()),
        reinterpret_cast<const unsigned char *>(bytes.data()), static_cast<int>(bytes.size()));
    out.resize(length > 0 ? static_cast<size_t>(length) : 0);
    return out;
}
