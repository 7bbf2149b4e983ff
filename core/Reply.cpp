#include "Reply.h"

#include "Text.h"

#include <boost/property_tree/json_parser.hpp>

#include <sstream>

namespace pt = boost::property_tree;

ReplyReader::ReplyReader(const pt::ptree &node)
    : m_node(&node)
{ }

bool ReplyReader::read(const char *path, std::string &utf8)
{
    if (m_stopped)
        return false;
    const boost::optional<const pt::ptree &> child = m_node->get_child_optional(path);
    if (!child) {
        m_stopped = true;
        return false;
    }
    utf8 = child->data();
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
    if (m_stopped)
        return false;
    const boost::optional<const pt::ptree &> list = m_node->get_child_optional(path);
    if (!list) {
        m_stopped = true;
        return false;
    }
    for (const auto &entry : *list) {
        ReplyReader element(entry.second);
        visit(element);
        if (element.stopped()) {
            m_stopped = true;
            return false;
        }
    }
    return true;
}

std::optional<Reply> Reply::parse(const std::string &body)
{
    if (body.empty())
        return std::nullopt;
    Reply reply;
    try {
        std::istringstream stream(body);
        pt::read_json(stream, reply.m_tree);
    } catch (const pt::ptree_error &) {
        return std::nullopt;
    }
    return reply;
}
