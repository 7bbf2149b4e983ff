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

    // A string (unescaped) or a literal (its text, "12.5", "true", "null"). The view points
    // into the text, or for a string with escapes into the scanner's own copy, valid until the
    // next string is read (also one inside a value being skipped).
    bool readScalar(std::string_view &value);
    // Skips one whole value of any kind, checking it.
    bool skipValue();

    // Opens an object or a list; the next member or element is then asked for with
    // nextMember() or nextElement(), which return false at its end (having closed it) or on
    // failure (tell the two apart with failed()). A member's name is a view like a scalar's,
    // valid until the next name is read (also one inside a value being skipped).
    bool beginObject();
    bool beginArray();
    bool nextMember(std::string_view &name);
    bool nextElement();

    // Only blanks are left: the text was one value.
    bool atEnd();

private:
    bool fail();
    void skipBlanks();
    // A string; `unescaped` holds it when it has escapes.
    bool readString(std::string_view &value, std::string &unescaped);
    // The rest of a string that is not one plain run: escapes, UTF-8 sequences, or failure.
    bool readStringInParts(std::string_view &value, std::string &unescaped);
    bool readEscape(std::string &value);
    bool readHexQuad(unsigned &codepoint);
    bool readLiteral(std::string_view &value);
    bool readNumber();
    bool readWord(std::string_view word);
    bool closeContainer(char close);
    // Steps over the comma before the next item of the open container; false at its end.
    bool nextItem(char close);

    std::string_view m_text;
    std::size_t m_pos = 0;
    // The last string value and member name read that had escapes, unescaped.
    std::string m_unescapedValue;
    std::string m_unescapedName;
    int m_depth = 0;
    // Whether the innermost open container has had a member or element yet.
    bool m_first = false;
    bool m_failed = false;
};
