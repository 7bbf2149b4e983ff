#pragma once

#include "Signing.h"

#include <mutex>
#include <string>

// One received request as the journal records it.
struct JournalEntry
{
    std::string method;
    std::string path;
    Fields headers;
    std::string body;
};

// The request journal: one JSON object per line,
//   {"time":"2026-12-07T10:15:00.123","method":"POST","path":"/api/face",
//    "headers":{"Content-Type":"application/json",...},"body":"<body as received>"}
// A body that is not valid UTF-8 is written with U+FFFD in place of the bad bytes and the
// exact bytes are added as "body_base64", so every line stays valid JSON.
// Lines are written whole under a lock and reach the file before append() returns.
class Journal
{
public:
    Journal() = default;
    ~Journal();
    Journal(const Journal &) = delete;
    Journal &operator=(const Journal &) = delete;

    bool open(const std::string &path, std::string &error);
    bool append(const JournalEntry &entry);

    static std::string line(const JournalEntry &entry, const std::string &stamp);
    static std::string base64(const std::string &bytes);

private:
    std::mutex m_mutex;
    int m_fd = -1;
};
