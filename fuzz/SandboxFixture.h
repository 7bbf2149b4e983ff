#pragma once

#include "GatewayService.h"
#include "SandboxStore.h"

#include <memory>
#include <string>

struct sqlite3;

// The sandbox's gateway on a store of its own: a database that lives in memory only, created
// and seeded as the sandbox does on its first start, once per process. The demo merchant gets
// a fixed appid and key (the sandbox draws them at random) so that seeds can carry valid signs.
class SandboxFixture final
{
public:
    static constexpr const char *kAppid = "tp0123456789abcdef";
    static constexpr const char *kKey = "00112233445566778899aabbccddeeff";

    static SandboxFixture &instance();

    GatewayService &service() { return m_service; }

    // Removes every order, so that each input starts from the same store.
    void forgetOrders();

    ~SandboxFixture();
    SandboxFixture(const SandboxFixture &) = delete;
    SandboxFixture &operator=(const SandboxFixture &) = delete;

private:
    SandboxFixture();
    void execute(const char *sql);

    std::unique_ptr<SandboxStore> m_store;
    GatewayService m_service;
    sqlite3 *m_side = nullptr; // a second connection for what the store does not offer
};

// Checks that every answer of the sandbox is JSON the client can read, with the member that
// carries its outcome ("code", "status" or "success") as a string.
void requireReadableAnswer(const std::string &answer, const char *outcomeMember);
