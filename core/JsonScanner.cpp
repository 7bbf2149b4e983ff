#include "JsonScanner.h"

#include "Text.h"

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
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

void JsonScanner::skipBlanks()
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
    case '-':
    case 't':
    case 'f':
    case 'n':
        return Kind::Literal;
    default:
        if (isDigit(m_text[m_pos]))
            return Kind::Literal;
        fail();
        return std::nullopt;
    }
}

bool JsonScanner::readScalar(std::string &value)
{
    const std::optional<Kind> kind = peek();
    if (kind == Kind::String)
        return readString(value);
    if (kind == Kind::Literal)
        return readLiteral(value);
    return fail();
}

bool JsonScanner::readString(std::string &value)
{
    ++m_pos; // the opening quote
    value.clear();
    while (true) {
        // The plain run up to the next quote, escape, control character or non-ASCII byte.
        const std::size_t runStart = m_pos;
        while (m_pos < m_text.size()) {
            const auto c = static_cast<unsigned char>(m_text[m_pos]);
            if (c == '"' || c == '\\' || c < 0x20 || c >= 0x80)
                break;
            ++m_pos;
        }
        value.append(m_text.data() + runStart, m_pos - runStart);
        if (m_pos == m_text.size())
            return fail();
        const auto c = static_cast<unsigned char>(m_text[m_pos]);
        if (c == '"') {
            ++m_pos;
            return true;
        }
        if (c < 0x20)
            return fail();
        if (c == '\\') {
            ++m_pos;
            if (!readEscape(value))
                return false;
            continue;
        }
        const int trailing = trailingBytes(c);
        if (trailing < 0 || m_pos + 1 + static_cast<std::size_t>(trailing) > m_text.size())
            return fail();
        for (int i = 1; i <= trailing; ++i) {
            if ((static_cast<unsigned char>(m_text[m_pos + i]) & 0xc0) != 0x80)
                return fail();
        }
        value.append(m_text.data() + m_pos, static_cast<std::size_t>(trailing) + 1);
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

bool JsonScanner::readLiteral(std::string &value)
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
    value.assign(m_text.data() + start, m_pos - start);
    return true;
}

bool JsonScanner::skipValue()
{
    const std::optional<Kind> kind = peek();
    if (!kind)
        return false;
    std::string ignored;
    switch (*kind) {
    case Kind::String:
        return readString(ignored);
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

bool JsonScanner::nextMember(std::string &name)
{
    if (!nextItem('}'))
        return false;
    skipBlanks();
    if (m_pos == m_text.size() || m_text[m_pos] != '"' || !readString(name))
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
