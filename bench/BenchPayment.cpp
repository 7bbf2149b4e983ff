// The client's own cost of one direct payment at the checkout (confirm to card shown) next to
// the bare HTTPS round trip of the same signed request, both against the local sandbox gateway
// with no delay. The difference is what the window adds: validation, signing, decoding, the
// card.
#include "CheckStandWin.h"
#include "CupsQueue.h"
#include "HttpClient.h"
#include "LoginRequest.h"
#include "LoginSession.h"
#include "OrderQueryWin.h"
#include "PayWin.h"
#include "PayTransaction.h"
#include "Reply.h"
#include "Resources.h"
#include "SandboxProcess.h"
#include "TempHome.h"
#include "Text.h"
#include "collectionWin.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

const std::string kCode = "134567890123456780"; // paid at once
// Longer than the HTTP client's own time-out: an answer, or the failure card, comes before.
constexpr int kAnswerMs = 40000;

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

// Confirms the sale in the checkout's fields and runs the event loop until the window has taken
// the pay answer: the request runs beside the window and its answer comes back as an event,
// which ends the wait at once. True when that answer showed the success card.
bool payAndWaitForCard(CheckStandWin *checkout)
{
    checkout->OnInputYes();
    QTimer deadline; // its event also ends a wait whose answer never comes
    deadline.setSingleShot(true);
    deadline.start(kAnswerMs);
    while (checkout->paying() && deadline.isActive())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return !checkout->paying() && checkout->resultCard()->isVisible()
        && checkout->resultCard()->successShown();
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
        if (!payAndWaitForCard(checkout)) {
            state.SkipWithError("no success card");
            break;
        }
        checkout->resultCard()->hide();
    }
}

// Resident memory of this process in kB.
double residentKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> lines = status.readAll().split('\n');
    for (const QByteArray &line : lines) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble();
    }
    return 0;
}

// A long day at one till: payments at the checkout with an order-list query after every fifth,
// as in TALLYPORT_LONG_DAY="PAYMENTS,QUERIES" (default "1000,200"), after a warm-up of a tenth
// of that. Reports the resident memory after the warm-up and its growth over the day.
void longDay(benchmark::State &state)
{
    Gateway &g = gateway();
    if (!g.ready) {
        state.SkipWithError("sandbox not available");
        return;
    }
    int payments = 1000;
    int queries = 200;
    if (const char *day = std::getenv("TALLYPORT_LONG_DAY"))
        std::sscanf(day, "%d,%d", &payments, &queries);
    const int paymentsPerQuery = queries > 0 ? std::max(1, payments / queries) : payments + 1;

    QWidget mainWindow;
    auto *checkout = new CheckStandWin(&mainWindow);
    mainWindow.show();
    auto *amount = checkout->findChild<QLineEdit *>(QStringLiteral("lineEdit_money"));
    auto *code = checkout->findChild<QLineEdit *>(QStringLiteral("lineEdit_paycode"));
    OrderQueryWin orders;
    orders.show();
    bool failed = false;
    auto work = [&](int count) {
        for (int i = 1; i <= count && !failed; ++i) {
            amount->setText(QStringLiteral("12.5"));
            code->setText(QString::fromStdString(kCode));
            failed = !payAndWaitForCard(checkout);
            checkout->resultCard()->hide();
            if (i % paymentsPerQuery == 0) {
                orders.OnQuery();
                while (orders.busy())
                    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
            }
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
    };
    for (auto _ : state) {
        work(payments / 10);
        const double warm = residentKb();
        work(payments);
        state.counters["rss_after_warmup_kB"] = warm;
        state.counters["rss_growth_kB"] = residentKb() - warm;
    }
    if (failed)
        state.SkipWithError("no success card");
}

// Jobs the spooler has accepted so far, finished or not.
int acceptedJobs()
{
    QProcess lpstat;
    lpstat.start(QStringLiteral("lpstat"),
        {QStringLiteral("-W"), QStringLiteral("all"), QStringLiteral("-o")});
    if (!lpstat.waitForFinished(5000))
        return -1;
    return lpstat.readAllStandardOutput().count('\n');
}

// From the success card shown to the receipt's job accepted by a private CUPS spooler with a
// PDF queue (the time the cashier waits for the paper to start). The checkout and the settings
// page are wired as in the main window, so the receipt goes the till's own way.
void receiptLatency(benchmark::State &state)
{
    Gateway &g = gateway();
    if (!g.ready) {
        state.SkipWithError("sandbox not available");
        return;
    }
    static CupsQueue cups;
    if (!cups.start()) {
        state.SkipWithError("no spooler");
        return;
    }
    PayWin payWin;
    payWin.show();
    CheckStandWin *checkout = payWin.checkStandWin();
    auto *amount = checkout->findChild<QLineEdit *>(QStringLiteral("lineEdit_money"));
    auto *code = checkout->findChild<QLineEdit *>(QStringLiteral("lineEdit_paycode"));
    for (auto _ : state) {
        const int before = acceptedJobs();
        amount->setText(QStringLiteral("12.5"));
        code->setText(QString::fromStdString(kCode));
        if (!payAndWaitForCard(checkout)) {
            state.SkipWithError("no success card");
            return;
        }
        QElapsedTimer sinceCard;
        sinceCard.start();
        while (acceptedJobs() <= before && sinceCard.elapsed() < 10000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        if (sinceCard.elapsed() >= 10000) {
            state.SkipWithError("no job reached the spooler");
            return;
        }
        state.SetIterationTime(sinceCard.nsecsElapsed() / 1e9);
        checkout->resultCard()->hide();
    }
    cups.waitForPdfs(cups.pdfFiles().size());
}

} // namespace

// CPU time is the whole process's: the checkout's request runs on a worker thread.
BENCHMARK(bareRoundTrip)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
BENCHMARK(checkoutPayment)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("TALLYPORT_PLAYER", "true");
    QApplication app(argc, argv);
    Resources::initialise();
    benchmark::Initialize(&argc, argv);
    // Any error a benchmark reports fails its test run; a machine that cannot run a spooler of
    // its own (without root, or without CUPS) leaves the receipt out instead.
    const QString noSpooler = CupsQueue::unavailableReason();
    if (noSpooler.isEmpty()) {
        benchmark::RegisterBenchmark("receiptLatency", receiptLatency)
            ->Unit(benchmark::kMillisecond)
            ->UseManualTime()
            ->Iterations(15);
    } else {
        std::fprintf(stderr, "receiptLatency left out: %s\n", qPrintable(noSpooler));
    }
    benchmark::RegisterBenchmark("longDay", longDay)->Unit(benchmark::kMillisecond)->Iterations(1);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
