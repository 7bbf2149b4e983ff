#pragma once

#include "Signing.h"

#include <string>
#include <vector>

// Writes the sandbox's JSON replies: objects whose values are strings, objects or arrays of
// objects. Members keep the order in which they are written; strings are escaped, UTF-8 text
// passes unchanged, and bytes that are not UTF-8 become U+FFFD, so the text is always JSON
// (a reply may repeat what a request sent).
class JsonWriter
{
public:
    // Opens the root object, or an object element of the open array.
    JsonWriter &beginObject();
    // Opens an object member of the open object.
    JsonWriter &beginObject(const std::string &name);
    JsonWriter &endObject();
    JsonWriter &beginArray(const std::string &name);
    JsonWriter &endArray();
    JsonWriter &field(const std::string &name, const std::string &value);
    JsonWriter &fields(const Fields &members);

    const std::string &text() const { return m_out; }

    // {"code":code,"msg":msg}
    static std::string refusal(const std::string &code, const std::string &msg);

    // Overlong forms, surrogates and values above U+10FFFF are not UTF-8.
    static bool isValidUtf8(const std::string &text);
    // `text` with each byte that does not start a valid sequence replaced by U+FFFD.
    static std::string validUtf8(const std::string &text);

private:
    void separate();
    void key(const std::string &name);

    std::string m_out;
    std::vector<bool> m_first;
};
