#include "JsonScanner.h"

#include "Text.h"

#include <array>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

bool isBlank(char c)
{
    // Most bytes are past the space: one comparison for them.
    return static_cast<unsigned char>(c) <= ' '
        && (c == ' ' || c == '\t' || c == '\n' || c == '\r');
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool startsLiteral(char c)
{
    return isDigit(c) || c == '-' || c == 't' || c == 'f' || c == 'n';
}

// Trailing bytes after a UTF-8 lead byte, as the tree reader counts them; -1 for a byte that
// cannot lead.
int trailingBytes(unsigned char lead)
{
    if (lead < 0x80)
        return 0;
    if (lead < 0xc0)
        return -1;
    if (lead < 0xe0)
        return 1;
    if (lead < 0xf0)
        return 2;
    if (lead < 0xf8)
        return 3;
    return -1;
}

// Bytes that end a plain run inside a string: the quote, the backslash, control characters and
// the bytes of multi-byte UTF-8 sequences, which are checked one sequence at a time.
constexpr std::array<bool, 256> kEndsPlainRun = [] {
    std::array<bool, 256> ends {};
    for (int c = 0; c < 256; ++c)
        ends[c] = c == '"' || c == '\\' || c < 0x20 || c >= 0x80;
    return ends;
}();

// Where the plain run of a string starting at `pos` ends (the text's size when it runs out).
inline std::size_t plainRunEnd(std::string_view text, std::size_t pos)
{
#if defined(__SSE2__)
    // Sixteen bytes at a time; read as signed bytes, control characters and the bytes of UTF-8
    // sequences are alike below the space.
    const __m128i quote = _mm_set1_epi8('"');
    const __m128i backslash = _mm_set1_epi8('\\');
    const __m128i space = _mm_set1_epi8(' ');
    while (text.size() - pos >= 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i *>(text.data() + pos));
        const __m128i ends = _mm_or_si128(_mm_cmplt_epi8(bytes, space),
            _mm_or_si128(_mm_cmpeq_epi8(bytes, quote), _mm_cmpeq_epi8(bytes, backslash)));
        const auto mask = static_cast<unsigned>(_mm_movemask_epi8(ends));
        if (mask != 0)
            return pos + static_cast<std::size_t>(__builtin_ctz(mask));
        pos += 16;
    }
#endif
    while (pos < text.size() && !kEndsPlainRun[static_cast<unsigned char>(text[pos])])
        ++pos;
    return pos;
}

void appendUtf8(std::string &out, unsigned codepoint)
{
    if (codepoint <= 0x7f) {
        out += static_cast<char>(codepoint);
    } else if (codepoint <= 0x7ff) {
        out += static_cast<char>(0xc0 | (codepoint >> 6));
        out += static_cast<char>(0x80 | (codepoint & 0x3f));
    } else if (codepoint <= 0xffff) {
        out += static_cast<char>(0xe0 | (codepoint >> 12));
        out += static_cast<char>(0x80 | ((codepoint >> 6) & 0x3f));
        out += static_cast<char>(0x80 | (codepoint & 0x3f));
    } else {
        out += static_cast<char>(0xf0 | (codepoint >> 18));
        out += static_cast<char>(0x80 | ((codepoint >> 12) & 0x3f));
        out += static_cast<char>(0x80 | ((codepoint >> 6) & 0x3f));
        out += static_cast<char>(0x80 | (codepoint & 0x3f));
    }
}

} // namespace

JsonScanner::JsonScanner(std::string_view text)
    : m_text(text)
{ }

bool JsonScanner::fail()
{
    m_failed = true;
    return false;
}

inline void JsonScanner::skipBlanks()
{
    while (m_pos < m_text.size() && isBlank(m_text[m_pos]))
        ++m_pos;
}

std::optional<JsonScanner::Kind> JsonScanner::peek()
{
    if (m_failed)
        return std::nullopt;
    skipBlanks();
    if (m_pos == m_text.size()) {
        fail();
        return std::nullopt;
    }
    switch (m_text[m_pos]) {
    case '{':
        return Kind::Object;
    case '[':
        return Kind::Array;
    case '"':
        return Kind::String;
    default:
        if (startsLiteral(m_text[m_pos]))
            return Kind::Literal;
        fail();
        return std::nullopt;
    }
}

bool JsonScanner::readScalar(std::string_view &value)
{
    if (m_failed)
        return false;
    skipBlanks();
    if (m_pos < m_text.size()) {
        const char c = m_text[m_pos];
        if (c == '"')
            return readString(value, m_unescapedValue);
        if (startsLiteral(c))
            return readLiteral(value);
    }
    return fail();
}

bool JsonScanner::readString(std::string_view &value, std::string &unescaped)
{
    // Most strings are one plain run up to the closing quote.
    const std::size_t start = m_pos + 1;
    const std::size_t end = plainRunEnd(m_text, start);
    if (end < m_text.size() && m_text[end] == '"') {
        value = m_text.substr(start, end - start);
        m_pos = end + 1;
        return true;
    }
    m_pos = start;
    return readStringInParts(value, unescaped);
}

bool JsonScanner::readStringInParts(std::string_view &value, std::string &unescaped)
{
    const std::size_t start = m_pos;
    // Once an escape is met, the string is built in `unescaped`, which holds it up to `copied`.
    bool escaped = false;
    std::size_t copied = start;
    while (true) {
        m_pos = plainRunEnd(m_text, m_pos);
        if (m_pos == m_text.size())
            return fail();
        const auto c = static_cast<unsigned char>(m_text[m_pos]);
        if (c == '"') {
            if (escaped) {
                unescaped.append(m_text.data() + copied, m_pos - copied);
                value = unescaped;
            } else {
                value = m_text.substr(start, m_pos - start);
            }
            ++m_pos;
            return true;
        }
        if (c < 0x20)
            return fail();
        if (c == '\\') {
            if (!escaped)
                unescaped.clear();
            escaped = true;
            unescaped.append(m_text.data() + copied, m_pos - copied);
            ++m_pos;
            if (!readEscape(unescaped))
                return false;
            copied = m_pos;
            continue;
        }
        // A multi-byte UTF-8 sequence: checked, and kept as it is.
        const int trailing = trailingBytes(c);
        if (trailing < 0 || m_pos + 1 + static_cast<std::size_t>(trailing) > m_text.size())
            return fail();
        for (int i = 1; i <= trailing; ++i) {
            if ((static_cast<unsigned char>(m_text[m_pos + i]) & 0xc0) != 0x80)
                return fail();
        }
        m_pos += static_cast<std::size_t>(trailing) + 1;
    }
}

bool JsonScanner::readHexQuad(unsigned &codepoint)
{
    if (m_pos + 4 > m_text.size())
        return fail();
    codepoint = 0;
    for (int i = 0; i < 4; ++i) {
        const int digit = Text::hexDigitValue(m_text[m_pos++]);
        if (digit < 0)
            return fail();
        codepoint = codepoint * 16 + static_cast<unsigned>(digit);
    }
    return true;
}

bool JsonScanner::readEscape(std::string &value)
{
    if (m_pos == m_text.size())
        return fail();
    const char c = m_text[m_pos++];
    switch (c) {
    case '"':
    case '\\':
    case '/':
        value += c;
        return true;
    case 'b':
        value += '\b';
        return true;
    case 'f':
        value += '\f';
        return true;
    case 'n':
        value += '\n';
        return true;
    case 'r':
        value += '\r';
        return true;
    case 't':
        value += '\t';
        return true;
    case 'u':
        break;
    default:
        return fail();
    }
    unsigned codepoint = 0;
    if (!readHexQuad(codepoint))
        return false;
    if ((codepoint & 0xfc00) == 0xdc00)
        return fail(); // a low surrogate on its own
    if ((codepoint & 0xfc00) == 0xd800) {
        if (m_pos + 2 > m_text.size() || m_text[m_pos] != '\\' || m_text[m_pos + 1] != 'u')
            return fail();
        m_pos += 2;
        unsigned low = 0;
        if (!readHexQuad(low))
            return false;
        if ((low & 0xfc00) != 0xdc00)
            return fail();
        codepoint = 0x10000 + (((codepoint & 0x3ff) << 10) | (low & 0x3ff));
    }
    appendUtf8(value, codepoint);
    return true;
}

bool JsonScanner::readWord(std::string_view word)
{
    if (m_text.substr(m_pos, word.size()) != word)
        return fail();
    m_pos += word.size();
    return true;
}

bool JsonScanner::readNumber()
{
    // -? (0 | [1-9][0-9]*) (. [0-9]+)? ([eE] [+-]? [0-9]+)?
    const auto digits = [this] {
        const std::size_t start = m_pos;
        while (m_pos < m_text.size() && isDigit(m_text[m_pos]))
            ++m_pos;
        return m_pos > start;
    };
    if (m_pos < m_text.size() && m_text[m_pos] == '-')
        ++m_pos;
    if (m_pos < m_text.size() && m_text[m_pos] == '0')
        ++m_pos;
    else if (!digits())
        return fail();
    if (m_pos < m_text.size() && m_text[m_pos] == '.') {
        ++m_pos;
        if (!digits())
            return fail();
    }
    if (m_pos < m_text.size() && (m_text[m_pos] == 'e' || m_text[m_pos] == 'E')) {
        ++m_pos;
        if (m_pos < m_text.size() && (m_text[m_pos] == '+' || m_text[m_pos] == '-'))
            ++m_pos;
        if (!digits())
            return fail();
    }
    return true;
}

bool JsonScanner::readLiteral(std::string_view &value)
{
    const std::size_t start = m_pos;
    bool read = false;
    switch (m_text[m_pos]) {
    case 't':
        read = readWord("true");
        break;
    case 'f':
        read = readWord("false");
        break;
    case 'n':
        read = readWord("null");
        break;
    default:
        read = readNumber();
        break;
    }
    if (!read)
        return false;
    value = m_text.substr(start, m_pos - start);
    return true;
}

bool JsonScanner::skipValue()
{
    const std::optional<Kind> kind = peek();
    if (!kind)
        return false;
    std::string_view ignored;
    switch (*kind) {
    case Kind::String:
        return readString(ignored, m_unescapedValue);
    case Kind::Literal:
        return readLiteral(ignored);
    case Kind::Object: {
        if (!beginObject())
            return false;
        while (nextMember(ignored)) {
            if (!skipValue())
                return false;
        }
        return !m_failed;
    }
    case Kind::Array: {
        if (!beginArray())
            return false;
        while (nextElement()) {
            if (!skipValue())
                return false;
        }
        return !m_failed;
    }
    }
    return fail();
}

bool JsonScanner::beginObject()
{
    if (peek() != Kind::Object || ++m_depth > kMaxDepth)
        return fail();
    ++m_pos;
    m_first = true;
    return true;
}

bool JsonScanner::beginArray()
{
    if (peek() != Kind::Array || ++m_depth > kMaxDepth)
        return fail();
    ++m_pos;
    m_first = true;
    return true;
}

bool JsonScanner::closeContainer(char close)
{
    skipBlanks();
    if (m_pos < m_text.size() && m_text[m_pos] == close) {
        ++m_pos;
        --m_depth;
        m_first = false;
        return false;
    }
    return fail();
}

bool JsonScanner::nextItem(char close)
{
    if (m_failed)
        return false;
    skipBlanks();
    if (m_pos == m_text.size())
        return fail();
    if (m_first) {
        if (m_text[m_pos] == close)
            return closeContainer(close);
    } else if (m_text[m_pos] == ',') {
        ++m_pos;
    } else {
        return closeContainer(close);
    }
    m_first = false;
    return true;
}

bool JsonScanner::nextMember(std::string_view &name)
{
    if (!nextItem('}'))
        return false;
    skipBlanks();
    if (m_pos == m_text.size() || m_text[m_pos] != '"' || !readString(name, m_unescapedName))
        return fail();
    skipBlanks();
    if (m_pos == m_text.size() || m_text[m_pos] != ':')
        return fail();
    ++m_pos;
    return true;
}

bool JsonScanner::nextElement()
{
    return nextItem(']');
}

bool JsonScanner::atEnd()
{
    if (m_failed)
        return false;
    skipBlanks();
    return m_pos == m_text.size();
}
