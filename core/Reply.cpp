#include "Reply.h"

#include "Text.h"

#include <boost/property_tree/json_parser.hpp>

#include <cstring>
#include <sstream>

namespace pt = boost::property_tree;

namespace {

bool isJsonBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// A cheap pass over the bytes before the recursive reader: the body must open an object, and
// no object or list may be nested deeper than `maxDepth`. Brackets inside strings do not count.
// Whether the rest is well-formed is left to the reader.
bool isShallowObject(const std::string &body, int maxDepth)
{
    std::size_t i = 0;
    while (i < body.size() && isJsonBlank(body[i]))
        ++i;
    if (i == body.size() || body[i] != '{')
        return false;

    int depth = 0;
    bool inString = false;
    for (; i < body.size(); ++i) {
        const char c = body[i];
        if (inString) {
            if (c == '\\')
                ++i; // the escaped character cannot end the string
            else if (c == '"')
                inString = false;
            continue;
        }
        switch (c) {
        case '"':
            inString = true;
            break;
        case '{':
        case '[':
            if (++depth > maxDepth)
                return false;
            break;
        case '}':
        case ']':
            --depth;
            break;
        default:
            break;
        }
    }
    return true;
}

// A text or a number: a node without children holding a value.
bool isScalar(const pt::ptree &node)
{
    return node.empty() && !node.data().empty();
}

// A JSON list: its entries have no names. An object whose first member is named "" reads
// the same and is taken for a list (the order list's one-pass decoder follows the same rule).
bool isList(const pt::ptree &node)
{
    return !node.empty() && node.front().first.empty();
}

} // namespace

ReplyReader::ReplyReader(const pt::ptree &node)
    : m_node(&node)
{ }

void ReplyReader::refuse()
{
    m_stopped = true;
    m_malformed = true;
}

const pt::ptree *ReplyReader::find(const char *path)
{
    if (m_stopped)
        return nullptr;
    const pt::ptree *node = m_node;
    const char *segment = path;
    while (true) {
        if (isScalar(*node) || isList(*node)) {
            refuse();
            return nullptr;
        }
        const char *dot = std::strchr(segment, '.');
        const std::string name = dot ? std::string(segment, dot) : std::string(segment);
        const auto child = node->find(name);
        if (child == node->not_found()) {
            m_stopped = true;
            return nullptr;
        }
        node = &child->second;
        if (!dot)
            return node;
        segment = dot + 1;
    }
}

bool ReplyReader::read(const char *path, std::string &utf8)
{
    const pt::ptree *node = find(path);
    if (!node)
        return false;
    if (!node->empty()) {
        refuse();
        return false;
    }
    utf8 = node->data();
    return true;
}

bool ReplyReader::read(const char *path, std::wstring &wide)
{
    std::string utf8;
    if (!read(path, utf8))
        return false;
    wide = Text::utf8ToWide(utf8);
    return true;
}

bool ReplyReader::forEach(const char *path, const std::function<void(ReplyReader &)> &visit)
{
    const pt::ptree *list = find(path);
    if (!list)
        return false;
    if (isScalar(*list)) {
        refuse();
        return false;
    }
    for (const auto &entry : *list) {
        ReplyReader element(entry.second);
        visit(element);
        if (element.malformed())
            m_malformed = true;
        if (element.stopped()) {
            m_stopped = true;
            return false;
        }
    }
    return true;
}

std::optional<Reply> Reply::parse(const std::string &body)
{
    if (!isShallowObject(body, kMaxDepth))
        return std::nullopt;
    Reply reply;
    try {
        std::istringstream stream(body);
        pt::read_json(stream, reply.m_tree);
    } catch (const std::exception &) {
        return std::nullopt;
    }
    return reply;
}
