#include "Journal.h"

#include "JsonWriter.h"
#include "TimeText.h"

#include <openssl/evp.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

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
        .field("method", entry.method)
        .field("path", entry.path);
    writer.beginObject("headers");
    for (const auto &header : entry.headers) {
        writer.field(header.first, header.second);
    }
    writer.endObject();
    if (JsonWriter::isValidUtf8(entry.body)) {
        writer.field("body", entry.body);
    } else {
        writer.field("body", entry.body).field("body_base64", base64(entry.body));
    }
    writer.endObject();
    return writer.text();
}

std::string Journal::base64(const std::string &bytes)
{
    std::string out(4 * ((bytes.size() + 2) / 3) + 1, '\0');
    const int length = EVP_EncodeBlock(reinterpret_cast<unsigned char *>(out.data()),
        reinterpret_cast<const unsigned char *>(bytes.data()), static_cast<int>(bytes.size()));
    out.resize(length > 0 ? static_cast<size_t>(length) : 0);
    return out;
}
