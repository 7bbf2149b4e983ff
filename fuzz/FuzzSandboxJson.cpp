// Request bodies of the sandbox's JSON paths, each body given to every one of them: the signed
// envelope of /api/face, /api/login and /api/update.
// Seeds carry valid signs for the fixture's merchant, so they get past the checks.
#include "FuzzSupport.h"
#include "SandboxFixture.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string body(reinterpret_cast<const char *>(data), size);
    SandboxFixture &sandbox = SandboxFixture::instance();

    requireReadableAnswer(sandbox.service().face(body), "code");
    requireReadableAnswer(sandbox.service().login(body), "code");
    requireReadableAnswer(sandbox.service().update(body), "status");

    sandbox.forgetOrders();
    return 0;
}
