// The client's own cost of one direct payment at the checkout (confirm to card shown) next to
// the bare HTTPS round trip of the same signed request, both against the local sandbox gateway
// with no delay. The difference is what the window adds: validation, signing, decoding, the
// card.
#include "CheckStandWin.h"
#include "HttpClient.h"
#include "LoginRequest.h"
#include "LoginSession.h"
#include "PayTransaction.h"
#include "Reply.h"
#include "Resources.h"
#include "SandboxProcess.h"
#include "TempHome.h"
#include "Text.h"
#include "collectionWin.h"

#include <QApplication>
#include <QFile>
#include <QLineEdit>

#include <benchmark/benchmark.h>

#include <memory>

namespace {

const std::string kCode = "134567890123456780"; // paid at once

struct Gateway
{
    std::unique_ptr<SandboxProcess> sandbox;
    std::unique_ptr<TempHome> home;
    GatewaySession::Credentials session;
    bool ready = false;
};

Gateway &gateway()
{
    static Gateway instance = [] {
        Gateway g;
        g.sandbox = std::make_unique<SandboxProcess>();
        if (!g.sandbox->start())
            return g;
        g.home = std::make_unique<TempHome>();
        LoginSession session;
        if (!g.sandbox->writeClientConfig(g.home->path()) || !g.sandbox->loginDemo(session))
            return g;
        g.session = {session.appid, session.key, session.sid};
        GatewaySession::set(g.session);
        g.ready = true;
        return g;
    }();
    return instance;
}

void bareRoundTrip(benchmark::State &state)
{
    Gateway &g = gateway();
    if (!g.ready) {
        state.SkipWithError("sandbox not available");
        return;
    }
    const auto request
        = PayTransaction::payRequest("12.5", kCode, Text::wideToLocal(g.session.appid),
            Text::wideToLocal(g.session.sid), Text::wideToLocal(g.session.key));
    HttpClient client(g.sandbox->caPath().toStdString());
    const std::string url = g.sandbox->url(PayTransaction::kFacePath);
    for (auto _ : state) {
        std::string reply;
        client.Post(url, request->body, reply, "json");
        if (reply.empty())
            state.SkipWithError("no answer");
    }
}

void checkoutPayment(benchmark::State &state)
{
    Gateway &g = gateway();
    if (!g.ready) {
        state.SkipWithError("sandbox not available");
        return;
    }
    QWidget mainWindow;
    auto *checkout = new CheckStandWin(&mainWindow);
    mainWindow.show();
    auto *amount = checkout->findChild<QLineEdit *>(QStringLiteral("lineEdit_money"));
    auto *code = checkout->findChild<QLineEdit *>(QStringLiteral("lineEdit_paycode"));
    for (auto _ : state) {
        amount->setText(QStringLiteral("12.5"));
        code->setText(QString::fromStdString(kCode));
        checkout->OnInputYes();
        if (!checkout->resultCard()->isVisible() || !checkout->resultCard()->successShown())
            state.SkipWithError("no success card");
        checkout->resultCard()->hide();
    }
}

} // namespace

BENCHMARK(bareRoundTrip)->Unit(benchmark::kMillisecond);
BENCHMARK(checkoutPayment)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("TALLYPORT_PLAYER", "true");
    QApplication app(argc, argv);
    Resources::initialise();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
