#include "JsonWriter.h"

#include "Envelope.h"

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

void JsonWriter::separate()
{
    if (m_first.empty()) {
        return;
    }
    if (!m_first.back()) {
        m_out += ',';
    }
    m_first.back() = false;
}

void JsonWriter::key(const std::string &name)
{
    separate();
    m_out += '"';
    m_out += Envelope::jsonEscape(validUtf8(name));
    m_out += "\":";
}

JsonWriter &JsonWriter::beginObject()
{
    separate();
    m_out += '{';
    m_first.push_back(true);
    return *this;
}

JsonWriter &JsonWriter::beginObject(const std::string &name)
{
    key(name);
    m_out += '{';
    m_first.push_back(true);
    return *this;
}

JsonWriter &JsonWriter::endObject()
{
    m_out += '}';
    m_first.pop_back();
    return *this;
}

JsonWriter &JsonWriter::beginArray(const std::string &name)
{
    key(name);
    m_out += '[';
    m_first.push_back(true);
    return *this;
}

JsonWriter &JsonWriter::endArray()
{
    m_out += ']';
    m_first.pop_back();
    return *this;
}

JsonWriter &JsonWriter::field(const std::string &name, const std::string &value)
{
    key(name);
    m_out += '"';
    m_out += Envelope::jsonEscape(validUtf8(value));
    m_out += '"';
    return *this;
}

JsonWriter &JsonWriter::fields(const Fields &members)
{
    for (const auto &member : members) {
        field(member.first, member.second);
    }
    return *this;
}

std::string JsonWriter::refusal(const std::string &code, const std::string &msg)
{
    JsonWriter writer;
    writer.beginObject().field("code", code).field("msg", msg).endObject();
    return writer.text();
}

bool JsonWriter::isValidUtf8(const std::string &text)
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

std::string JsonWriter::validUtf8(const std::string &text)
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
