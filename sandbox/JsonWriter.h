#pragma once

#include "Signing.h"

#include <string>
#include <vector>

// Writes the sandbox's JSON replies: objects whose values are strings, objects or arrays of
// objects. Members keep the order in which they are written; strings are escaped, other bytes
// (UTF-8 text) pass unchanged.
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

private:
    void separate();
    void key(const std::string &name);

    std::string m_out;
    std::vector<bool> m_first;
};
