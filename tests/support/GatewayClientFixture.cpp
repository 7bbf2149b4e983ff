#include "GatewayClientFixture.h"

#include "LedgerStore.h"
#include "LoginSession.h"
#include "MetaTypes.h"
#include "Resources.h"
#include "Text.h"
#include "WindowScaling.h"

#include <QSize>

bool GatewayClientFixture::startGateway()
{
    Resources::initialise();
    MetaTypes::registerAll();
    WindowScaling::setScreenOverride(QSize(1366, 768));
    LoginSession login;
    if (!m_sandbox.start() || !m_sandbox.loginDemo(login))
        return false;
    GatewaySession::set({login.appid, login.key, login.sid});
    // As the login window does: the ledger compares times on the gateway's clock.
    LedgerStore::shared().noteGatewayTime(Text::wideToUtf8(login.apiTime));
    m_appid = QString::fromStdWString(login.appid);
    m_key = QString::fromStdWString(login.key);
    m_sid = QString::fromStdWString(login.sid);
    return true;
}

bool GatewayClientFixture::newHome(bool configure, const QStringList &extraLines)
{
    m_home = std::make_unique<TempHome>();
    if (!m_home->isValid())
        return false;
    return !configure || m_sandbox.writeClientConfig(m_home->path(), extraLines);
}

void GatewayClientFixture::endTest()
{
    m_sandbox.injectFault(R"({"kind":"clear"})");
    // A login window opens the till's ledger in the test's directory; the next test starts
    // without it, whatever its amounts.
    LedgerStore::shared().close();
    m_home.reset();
}
