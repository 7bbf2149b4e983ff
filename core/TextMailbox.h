#pragma once

#include <deque>
#include <mutex>
#include <optional>
#include <string>

// Texts handed from a reader thread to the GUI thread: the reader posts a text and then emits
// its signal; the slot takes the oldest text. Guarded, so a text never changes while it is
// read, and a second text arriving before the slot runs waits its turn instead of replacing
// the first. At most kCapacity texts wait; beyond that the oldest is dropped.
class TextMailbox final
{
public:
    static constexpr std::size_t kCapacity = 32;

    void post(std::string text);
    std::optional<std::string> take();
    std::size_t size() const;

private:
    mutable std::mutex m_mutex;
    std::deque<std::string> m_texts;
};
