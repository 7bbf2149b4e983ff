#pragma once

#include "SandboxProcess.h"
#include "TempHome.h"

#include <QString>
#include <QStringList>

#include <memory>

// What the integration suites of the windows share: one sandbox gateway for the whole suite with
// the demo cashier logged in and the session set process-wide, the windows' resources on the
// screen they are laid out for, and a fresh application directory for every test. A suite
// derives from it besides QObject and calls the three steps from its own slots.
class GatewayClientFixture
{
protected:
    // From initTestCase(): resources, meta types, a 1366x768 screen, the sandbox and the login.
    bool startGateway();
    // From init(): a new application directory; with `configure`, a configuration for the
    // sandbox followed by `extraLines`.
    bool newHome(bool configure = true, const QStringList &extraLines = {});
    // From cleanup(): the sandbox's faults cleared, the ledger closed, the directory dropped.
    void endTest();

    SandboxProcess m_sandbox;
    std::unique_ptr<TempHome> m_home;
    // The demo session, as the signed requests need it.
    QString m_appid;
    QString m_key;
    QString m_sid;
};
