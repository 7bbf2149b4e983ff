#include "SandboxFixture.h"

#include "FuzzSupport.h"
#include "Reply.h"

#include <sqlite3.h>

using FuzzSupport::require;

namespace {

// One database in memory, shared by the store's connection and the fixture's own.
constexpr const char *kDatabase = "file:tallyport-fuzz?mode=memory&cache=shared";

} // namespace

SandboxFixture &SandboxFixture::instance()
{
    static SandboxFixture fixture;
    return fixture;
}

SandboxFixture::SandboxFixture()
    : m_store(std::make_unique<SandboxStore>())
    , m_service(*m_store, "9.9.9")
{
    // The store opens its database by file name; with URI names allowed (before SQLite's
    // first use in the process) that name can be a database in memory: no file is written.
    require(sqlite3_config(SQLITE_CONFIG_URI, 1) == SQLITE_OK, "SQLite takes URI file names");
    std::string error;
    require(m_store->open(kDatabase, error), "the sandbox store opens", error);
    require(sqlite3_open_v2(kDatabase, &m_side, SQLITE_OPEN_READWRITE | SQLITE_OPEN_URI, nullptr)
            == SQLITE_OK,
        "the store's database opens a second time");

    sqlite3_stmt *statement = nullptr;
    require(sqlite3_prepare_v2(
                m_side, "UPDATE merchants SET appid = ?1, key = ?2", -1, &statement, nullptr)
            == SQLITE_OK,
        "the merchant can be updated", sqlite3_errmsg(m_side));
    sqlite3_bind_text(statement, 1, kAppid, -1, SQLITE_STATIC);
    sqlite3_bind_text(statement, 2, kKey, -1, SQLITE_STATIC);
    const int stepped = sqlite3_step(statement);
    sqlite3_finalize(statement);
    require(stepped == SQLITE_DONE, "the merchant gets its fixed appid", sqlite3_errmsg(m_side));
    require(m_store->merchantByAppid(kAppid).has_value(), "the store knows the fixed appid");
}

SandboxFixture::~SandboxFixture()
{
    sqlite3_close(m_side);
}

void SandboxFixture::execute(const char *sql)
{
    char *message = nullptr;
    const int result = sqlite3_exec(m_side, sql, nullptr, nullptr, &message);
    const std::string text = message ? message : "";
    sqlite3_free(message);
    require(result == SQLITE_OK, "the fixture's statement runs", text);
}

void SandboxFixture::forgetOrders()
{
    // Most inputs store nothing: a look is cheaper than a write.
    sqlite3_stmt *statement = nullptr;
    sqlite3_prepare_v2(m_side, "SELECT EXISTS (SELECT 1 FROM orders)", -1, &statement, nullptr);
    const bool anyOrder
        = sqlite3_step(statement) == SQLITE_ROW && sqlite3_column_int(statement, 0) != 0;
    sqlite3_finalize(statement);
    if (anyOrder)
        execute("DELETE FROM orders; UPDATE meta SET value = '0' WHERE name = 'order_seq'");
}

void requireReadableAnswer(const std::string &answer, const char *outcomeMember)
{
    const std::optional<Reply> reply = Reply::parse(answer);
    require(reply.has_value(), "the sandbox answers JSON the client can read", answer);
    const auto outcome = reply->tree().get_child_optional(outcomeMember);
    require(outcome && outcome->empty(), "the answer's outcome is a string member", answer);
}
