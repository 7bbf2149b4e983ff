#include "AppDir.h"
#include "InstalledData.h"
#include "LedgerStore.h"
#include "MetaTypes.h"
#include "PrintQueue.h"
#include "ProcessControl.h"
#include "ProcessLock.h"
#include "Resources.h"
#include "RunLog.h"
#include "SingleInstance.h"
#include "System.h"
#include "Tallyport.h"
#include "Text.h"
#include "WindowScaling.h"

#include <QApplication>
#include <QDir>
#include <QMessageBox>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

// What a restart runs again: the arguments as they came (Qt takes its options out of argv) in
// the directory the till started in.
struct Start
{
    std::vector<std::string> arguments;
    QString directory;
};

// Runs the program again, in this process where the system allows it, so whoever waits for
// the till (the training launcher, the demo script) keeps waiting for the new one. The locks go
// before the new program looks for them. Returns only when a new process has started (this one
// ends then) or nothing could be started (false).
bool runAgain(const Start &start, SingleInstance &instance, std::unique_ptr<ProcessLock> &dataLock)
{
    LedgerStore::shared().close();
    dataLock.reset();
    instance.release();
    if (ProcessControl::startAgain(start.arguments, start.directory))
        return true;
    RunLog::write("重启失败: 无法在 %s 再次启动本程序", start.directory.toUtf8().constData());
    return false;
}

} // namespace

int main(int argc, char *argv[])
{
    // "tallyport --first-configuration FILE HOST CA_BUNDLE" writes the configuration a till
    // starts from (hosts, CA bundle, built-in settings) unless FILE exists, and ends. The
    // training launcher and the demo script make their homes with it.
    if (argc == 5 && std::strcmp(argv[1], "--first-configuration") == 0) {
        return InstalledData::writeFirstConfiguration(QString::fromLocal8Bit(argv[2]),
                   QString::fromLocal8Bit(argv[3]), QString::fromLocal8Bit(argv[4]))
            ? 0
            : 1;
    }

    // One client per session: a second start ends at once, silently.
    SingleInstance instance;
    if (!instance.acquire())
        return 0;
    const Start start {std::vector<std::string>(argv, argv + argc), QDir::currentPath()};

    int status = 0;
    bool restart = false;
    std::unique_ptr<ProcessLock> dataLock;
    {
        WindowScaling::prepareForDisplay();
        QApplication app(argc, argv);
        app.setQuitOnLastWindowClosed(false);
        System::workInProgramDirectory(QCoreApplication::applicationDirPath());
        Resources::initialise();
        MetaTypes::registerAll();
        // An installed program keeps its configuration and logs in the user's data directory.
        const QString notReady = InstalledData::prepare();
        if (!notReady.isEmpty())
            qWarning("tallyport: %s", qPrintable(notReady));

        if (!instance.takenOverFrom().isEmpty()) {
            RunLog::write("接管遗留的单实例锁 %s (原内容: %s)",
                instance.lockPath().toUtf8().constData(),
                instance.takenOverFrom().toUtf8().constData());
        }
        // One till per data directory, for the life of the process: a second one would settle
        // the first one's payments under way as interrupted. It says so and changes nothing. A
        // lock file no living till holds (a crash, a power cut) is taken over.
        dataLock
            = std::make_unique<ProcessLock>(AppDir::dataFilePath(QStringLiteral("ledger.lock")));
        switch (dataLock->acquire()) {
        case ProcessLock::Result::Held: {
            const QString text = QStringLiteral("另一个收银程序正在使用数据目录\n%1\n"
                                                "本程序不会启动，请使用已打开的收银程序。")
                                     .arg(AppDir::dataPath());
            RunLog::write("未启动: %s", text.toUtf8().constData());
            QMessageBox::warning(nullptr, QStringLiteral("系统消息"), text);
            return 1;
        }
        case ProcessLock::Result::TakenOver:
            RunLog::write("接管遗留的数据目录锁 %s (原内容: %s)",
                dataLock->path().toUtf8().constData(),
                dataLock->takenOverFrom().toUtf8().constData());
            break;
        case ProcessLock::Result::Failed:
            RunLog::write("无法建立数据目录锁 %s", dataLock->path().toUtf8().constData());
            break;
        case ProcessLock::Result::Taken:
            break;
        }

        Tallyport login;
        // The updater asks the till to leave before it installs a new version: the till leaves
        // as an exit from its menu does, after the payment or refund under way.
        if (!instance.listenForLeave([&login] {
                RunLog::write("升级程序请求退出");
                login.requestLeave(WorkInFlight::Leave::Exit);
            }))
            RunLog::write("未能打开升级程序的退出请求通道");
        // A print job that hangs at the end makes the process end without waiting for it; a
        // restart asked for meanwhile still starts the program again.
        PrintQueue::setRestart([&start, &instance, &dataLock, &login] {
            if (login.restartRequested() && runAgain(start, instance, dataLock))
                System::exitNow();
        });
        login.show();
        status = app.exec();
        restart = login.restartRequested();
        PrintQueue::setRestart(nullptr);
    }
    if (restart) {
        // The windows and the application are gone.
        return runAgain(start, instance, dataLock) ? 0 : 1;
    }
    return status;
}
