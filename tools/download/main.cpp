// Download: the updater the till starts after an accepted upgrade offer, with the memo, the
// version and the url as its parameters. Every start is recorded beside the till's
// configuration (Download.jsonl). It then:
//  1. refuses an offer whose url is not https on the configured upgrade host;
//  2. shows the memo and the version and asks the person;
//  3. fetches the file with the till's verified HTTPS client and refuses anything that is not
//     a Windows installer;
//  4. asks the running till to leave (it finishes the payment or refund under way first) and
//     waits for it to end;
//  5. copies DownloadRelay.exe out of the program folder (%LOCALAPPDATA%\tallyport\updater),
//     starts the copy with the installer, the SHA-256 of the bytes checked in 3 and the till,
//     and ends. The relay (DownloadRelay.cpp), which runs as this user as this program does,
//     checks the installer's bytes again while holding it, starts it silently (/S /RESTART),
//     waits for it, removes it and starts the till again: as the person who asked for the
//     upgrade, never with the installer's rights.
// Each refusal is said to the person and written to the run log; nothing refused is run. Where
// installers do not run (Linux, where the till comes as a package), it says how to upgrade.
// Without a display (or on the offscreen platform) it only prints what it was given.
#include "AppDir.h"
#include "DownloadRecord.h"
#include "HostSettings.h"
#include "HttpClient.h"
#include "ProcessControl.h"
#include "RunLog.h"
#include "SingleInstance.h"
#include "System.h"
#include "UpdaterRules.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QPointer>
#include <QProgressDialog>
#include <QSaveFile>
#include <QTimer>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <thread>

namespace {

const QString kTitle = QStringLiteral("Tallyport 升级");
// The till's lock, whose holder is asked to leave, this program's own, which the installer
// waits for, and the relay's, held while it carries an upgrade out.
const QString kTill = QStringLiteral("Tallyport.exe");
const QString kUpdater = QStringLiteral("Download.exe");
const QString kRelay = QStringLiteral("DownloadRelay.exe");
constexpr long kFetchConnectMs = 10000;
constexpr long kFetchTotalMs = 15 * 60 * 1000;
constexpr int kTillCheckMs = 250;

bool canShowWindows()
{
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (platform == "offscreen" || platform == "minimal")
        return false;
#ifdef Q_OS_WIN
    return true;
#else
    return !qEnvironmentVariableIsEmpty("DISPLAY")
        || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
#endif
}

void log(const QString &line)
{
    RunLog::write("升级: %s", line.toUtf8().constData());
}

QMessageBox::StandardButton say(QMessageBox::Icon icon, const QString &text,
    QMessageBox::StandardButtons buttons = QMessageBox::Ok,
    QMessageBox::StandardButton preferred = QMessageBox::Ok)
{
    // Memo and version come from the network: shown as plain text, never as markup.
    QMessageBox box(icon, kTitle, text, buttons);
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(preferred);
    if (box.button(QMessageBox::Yes))
        box.button(QMessageBox::Yes)->setText(QStringLiteral("升级"));
    if (box.button(QMessageBox::No))
        box.button(QMessageBox::No)->setText(QStringLiteral("以后再说"));
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

int refuse(const QString &why)
{
    log(QStringLiteral("已拒绝: ") + why);
    say(QMessageBox::Warning, QStringLiteral("无法升级：%1\n\n没有下载或运行任何程序。").arg(why));
    return EXIT_FAILURE;
}

// Fetches `url` on a worker thread while a progress window with a cancel key shows. The
// answer's body when the status is 200; otherwise an empty text with `why` set.
std::string fetch(const std::string &url, const QString &version, QString &why)
{
    struct Result
    {
        int status = -1;
        std::string body;
    };
    auto result = std::make_shared<Result>();
    auto cancel = std::make_shared<std::atomic<bool>>(false);
    QProgressDialog progress(
        QStringLiteral("正在下载 Tallyport %1 …").arg(version), QStringLiteral("取消"), 0, 0);
    progress.setWindowTitle(kTitle);
    progress.setMinimumDuration(0);
    progress.setAutoClose(false);
    QObject::connect(&progress, &QProgressDialog::canceled, [cancel] { cancel->store(true); });
    QPointer<QProgressDialog> window(&progress);
    std::thread worker([url, result, cancel, window] {
        HttpClient client;
        client.setTimeouts(kFetchConnectMs, kFetchTotalMs);
        client.setCancelFlag(cancel.get());
        result->status = client.Get(url, result->body);
        QMetaObject::invokeMethod(
            qApp,
            [window] {
                if (window)
                    window->done(0);
            },
            Qt::QueuedConnection);
    });
    progress.exec();
    worker.join();
    if (cancel->load()) {
        why = QStringLiteral("下载已取消 (cancelled)");
        return std::string();
    }
    if (result->status != 200) {
        why = result->status < 0 ? QStringLiteral("下载失败，详见运行日志 (the download failed)")
                                 : QStringLiteral("下载失败: HTTP %1").arg(result->status);
        return std::string();
    }
    return std::move(result->body);
}

// Asks the till to leave and waits until it has, while a window says so; false when the person
// stops waiting.
bool waitForTheTill()
{
    if (!SingleInstance::isHeld(kTill))
        return true;
    // Said before it is asked: the till's own line follows in the same log, never beside this
    // one (two processes appending at one moment lost a line under Wine).
    log(QStringLiteral("请求收银程序退出"));
    const bool asked = SingleInstance::askHolderToLeave(kTill);
    if (!asked)
        log(QStringLiteral("收银程序未响应退出请求"));
    QProgressDialog progress(asked ? QStringLiteral("收银程序完成当前交易后退出，然后开始安装 …")
                                   : QStringLiteral("请退出收银程序，退出后开始安装 …"),
        QStringLiteral("取消升级"), 0, 0);
    progress.setWindowTitle(kTitle);
    progress.setMinimumDuration(0);
    progress.setAutoClose(false);
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, [&progress] {
        if (!SingleInstance::isHeld(kTill))
            progress.done(1);
    });
    check.start(kTillCheckMs);
    return progress.exec() == 1 && !progress.wasCanceled();
}

int update(const QStringList &parameters)
{
    const std::optional<UpdaterRules::Offer> offer = UpdaterRules::parseParameters(parameters);
    if (!offer)
        return refuse(QStringLiteral("参数不全，应为 备注 版本 地址 (memo, version and url)"));
    const QString upgradeHost = QString::fromStdString(HostSettings::load().upgradeHost);
    const QString badSource = UpdaterRules::sourceRefusal(offer->url, upgradeHost);
    if (!badSource.isEmpty())
        return refuse(badSource + QStringLiteral(": ") + offer->url);

    const QString news = QStringLiteral("新版本 %1\n\n%2").arg(offer->version, offer->memo);
    if (!ProcessControl::startsInstallers()) {
        log(QStringLiteral("新版本 %1: 本机由软件包升级").arg(offer->version));
        say(QMessageBox::Information,
            news
                + QStringLiteral(
                    "\n\n本机的 Tallyport 由软件包安装，请用系统的软件包管理器升级。"));
        return EXIT_SUCCESS;
    }
    if (say(QMessageBox::Question,
            news
                + QStringLiteral("\n\n现在升级吗？收银程序会在当前交易结束后退出，"
                                 "安装完成后自动重新启动。"),
            QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes)
        != QMessageBox::Yes) {
        log(QStringLiteral("新版本 %1: 以后再说").arg(offer->version));
        return EXIT_SUCCESS;
    }

    const QString installer = QDir::toNativeSeparators(
        AppDir::dataFilePath(QStringLiteral("TallyportSetup-upgrade.exe")));
    // What an earlier upgrade left; never run again.
    QFile::remove(installer);
    log(QStringLiteral("下载 %1").arg(offer->url));
    QString why;
    const std::string file = fetch(offer->url.toStdString(), offer->version, why);
    if (file.empty())
        return refuse(why.isEmpty() ? QStringLiteral("下载的文件是空的 (empty)") : why);
    const QString notInstaller = UpdaterRules::installerRefusal(file);
    if (!notInstaller.isEmpty())
        return refuse(notInstaller + QStringLiteral(": ") + offer->url);
    // What the relay finds in the file before it runs it must be these bytes.
    const QByteArray bytes = QByteArray::fromRawData(file.data(), int(file.size()));
    const QString checked
        = QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
    QSaveFile saved(installer);
    if (!saved.open(QIODevice::WriteOnly)
        || saved.write(file.data(), static_cast<qint64>(file.size()))
            != static_cast<qint64>(file.size())
        || !saved.commit())
        return refuse(QStringLiteral("安装程序无法保存到 %1").arg(installer));

    if (!waitForTheTill()) {
        log(QStringLiteral("等待收银程序退出时已取消"));
        QFile::remove(installer);
        return EXIT_FAILURE;
    }
    // The relay runs from a copy outside the program folder, which the installer replaces.
    const QString relayDirectory = AppDir::userDataPath() + QStringLiteral("/updater");
    const QString relay = relayDirectory + QLatin1Char('/') + kRelay;
    if (QDir().mkpath(relayDirectory))
        System::makePrivateDirectory(relayDirectory);
    QFile::remove(relay);
    const QString till = QDir::toNativeSeparators(AppDir::filePath(kTill));
    // Said before the relay starts: its own lines follow in the same log, never beside this one.
    log(QStringLiteral("安装交给升级中继 %1 (版本 %2)")
            .arg(QDir::toNativeSeparators(relay), offer->version));
    if (!QFile::copy(AppDir::filePath(kRelay), relay)
        || !ProcessControl::startDetached(relay,
            {installer, checked, till, QDir::toNativeSeparators(AppDir::dataPath()),
                QString::number(QCoreApplication::applicationPid())},
            relayDirectory)) {
        QFile::remove(installer);
        log(QStringLiteral("升级中继 %1 无法启动").arg(QDir::toNativeSeparators(relay)));
        say(QMessageBox::Warning,
            QStringLiteral("无法升级：升级中继无法启动。\n\n没有运行任何安装程序，"
                           "请从开始菜单重新启动 Tallyport。"));
        return EXIT_FAILURE;
    }
    return EXIT_SUCCESS;
}

} // namespace

int main(int argc, char *argv[])
{
    // The parameters come from the network: they are taken as they came, before Qt sees any of
    // them, and Qt is given the program name alone, so that words such as "-reverse",
    // "-style X" or "-display H:0" stay parameters and never become options of the toolkit.
    const QStringList parameters = ProcessControl::ownParameters(argc, argv);
    int qtArgc = 1;
    char *qtArgv[] = {argv[0], nullptr};

    const bool windows = canShowWindows();
    std::unique_ptr<QCoreApplication> app = windows
        ? std::make_unique<QApplication>(qtArgc, qtArgv)
        : std::make_unique<QCoreApplication>(qtArgc, qtArgv);

    const DownloadRecord record(parameters);
    const QString directory = AppDir::dataPath();
    if (!QDir(directory).exists() && QDir().mkpath(directory))
        System::makePrivateDirectory(directory);
    RunLog::setDirectory(directory.toStdString());
    const QString path = directory + QStringLiteral("/Download.jsonl");
    if (!record.appendTo(path))
        std::fprintf(stderr, "Download: cannot record the parameters in %s\n", qPrintable(path));

    if (!windows) {
        std::printf("%s\n", qPrintable(record.describe()));
        return EXIT_SUCCESS;
    }
    // One updater at a time, and none while a relay carries an upgrade out; the installer
    // waits for this lock to go.
    SingleInstance updater(kUpdater);
    if (SingleInstance::isHeld(kRelay) || !updater.acquire()) {
        say(QMessageBox::Information, QStringLiteral("升级程序已在运行。"));
        return EXIT_SUCCESS;
    }
    return update(parameters);
}
