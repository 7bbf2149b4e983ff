#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// Reads a JSON text front to back without building a tree, for replies too large to be read
// into one quickly. It accepts exactly what the reply decoder's reader accepts (Boost
// property_tree's read_json): strict JSON in UTF-8, no control characters inside strings,
// escapes decoded to UTF-8 (surrogate pairs combined), numbers, true, false and null kept as
// their text; and, like the reply decoder, no object or list nested deeper than kMaxDepth.
// Every call returns false once the text has failed to read; the scanner then stays failed.
class JsonScanner final
{
public:
    static constexpr int kMaxDepth = 64;

    enum class Kind { Object, Array, String, Literal };

    explicit JsonScanner(std::string_view text);

    bool failed() const { return m_failed; }

    // The kind of the next value; nullopt (and failed) when no value starts there.
    std::optional<Kind> peek();

    // A string (unescaped) or a literal (its text, "12.5", "true", "null") into `value`.
    bool readScalar(std::string &value);
    // Skips one whole value of any kind, checking it.
    bool skipValue();

    // Opens an object or a list; the next member or element is then asked for with
    // nextMember() or nextElement(), which return false at its end (having closed it) or on
    // failure (tell the two apart with failed()).
    bool beginObject();
    bool beginArray();
    bool nextMember(std::string &name);
    bool nextElement();

    // Only blanks are left: the text was one value.
    bool atEnd();

private:
    bool fail();
    void skipBlanks();
    bool readString(std::string &value);
    bool readEscape(std::string &value);
    bool readHexQuad(unsigned &codepoint);
    bool readLiteral(std::string &value);
    bool readNumber();
    bool readWord(std::string_view word);
    bool closeContainer(char close);
    // Steps over the comma before the next item of the open container; false at its end.
    bool nextItem(char close);

    std::string_view m_text;
    std::size_t m_pos = 0;
    int m_depth = 0;
    // Whether the innermost open container has had a member or element yet.
    bool m_first = false;
    bool m_failed = false;
};
