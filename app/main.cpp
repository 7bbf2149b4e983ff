#include "InstalledData.h"
#include "MetaTypes.h"
#include "ProcessControl.h"
#include "Resources.h"
#include "RunLog.h"
#include "SingleInstance.h"
#include "Tallyport.h"

#include <QApplication>
#include <QDir>

#include <cstring>

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
    // What a restart starts again: the arguments as they came, before Qt takes its options.
    const QString startDirectory = QDir::currentPath();
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));

    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    Resources::initialise();
    MetaTypes::registerAll();
    // An installed program keeps its configuration and logs in the user's data directory.
    const QString notReady = InstalledData::prepare();
    if (!notReady.isEmpty())
        qWarning("tallyport: %s", qPrintable(notReady));

    int status = 0;
    bool restart = false;
    {
        Tallyport login;
        login.show();
        status = app.exec();
        restart = login.restartRequested();
    }
    if (restart) {
        // The windows are gone; the lock goes before the new till looks for it.
        instance.release();
        if (!ProcessControl::startDetached(
                QCoreApplication::applicationFilePath(), arguments, startDirectory))
            RunLog::write("%s", "重启失败: 无法再次启动程序");
    }
    return status;
}
