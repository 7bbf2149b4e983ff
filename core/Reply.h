#pragma once

#include <boost/property_tree/ptree.hpp>

#include <functional>
#include <optional>
#include <string>

// Reads string values of a JSON reply by dotted path. The first missing path ends the
// reading: that read and every later one return false and leave their target unchanged,
// so the caller keeps what was read so far.
// A value of the wrong shape (an object or a list where a text is expected, a list or a text
// where an object is expected) also ends the reading and marks the reply as malformed:
// callers then treat the whole reply as one that is not JSON.
class ReplyReader final
{
public:
    explicit ReplyReader(const boost::property_tree::ptree &node);

    bool read(const char *path, std::string &utf8);
    bool read(const char *path, std::wstring &wide);
    // Calls `visit` for each entry of the list (or object) at `path`, in order. A missing
    // path, or an entry whose reading stopped, ends the reading of this reader too.
    bool forEach(const char *path, const std::function<void(ReplyReader &)> &visit);

    bool stopped() const { return m_stopped; }
    bool malformed() const { return m_malformed; }

private:
    // The node at `path`, every step through an object; nullptr (and stopped) otherwise.
    const boost::property_tree::ptree *find(const char *path);
    void refuse();

    const boost::property_tree::ptree *m_node;
    bool m_stopped = false;
    bool m_malformed = false;
};

// A decoded reply. An empty body, or one that is not a JSON object, gives no reply at all,
// which callers treat like a failed request. So does an object nested deeper than
// kMaxDepth: it is refused before the recursive reader sees it.
class Reply final
{
public:
    static constexpr int kMaxDepth = 64;

    static std::optional<Reply> parse(const std::string &body);

    ReplyReader reader() const { return ReplyReader(m_tree); }
    const boost::property_tree::ptree &tree() const { return m_tree; }

private:
    boost::property_tree::ptree m_tree;
};
