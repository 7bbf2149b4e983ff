#include "TextMailbox.h"

void TextMailbox::post(std::string text)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_texts.size() >= kCapacity)
        m_texts.pop_front();
    m_texts.push_back(std::move(text));
}

std::optional<std::string> TextMailbox::take()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_texts.empty())
        return std::nullopt;
    std::string text = std::move(m_texts.front());
    m_texts.pop_front();
    return text;
}

std::size_t TextMailbox::size() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_texts.size();
}
