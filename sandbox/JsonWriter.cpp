#include "JsonWriter.h"

#include "Envelope.h"

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
    m_out += Envelope::jsonEscape(name);
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
    m_out += Envelope::jsonEscape(value);
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
