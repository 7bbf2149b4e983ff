#include "InstalledData.h"
#include "MetaTypes.h"
#include "Resources.h"
#include "RunLog.h"
#include "SingleInstance.h"
#include "Tallyport.h"

#include <QApplication>
#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include <unistd.h>

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
    // What a restart runs again: the arguments as they came (Qt takes its options out of argv)
    // in the directory the till started in.
    const std::vector<std::string> arguments(argv, argv + argc);
    const QByteArray startDirectory = QFile::encodeName(QDir::currentPath());

    int status = 0;
    bool restart = false;
    {
        QApplication app(argc, argv);
        app.setQuitOnLastWindowClosed(false);
        Resources::initialise();
        MetaTypes::registerAll();
        // An installed program keeps its configuration and logs in the user's data directory.
        const QString notReady = InstalledData::prepare();
        if (!notReady.isEmpty())
            qWarning("tallyport: %s", qPrintable(notReady));

        Tallyport login;
        login.show();
        status = app.exec();
        restart = login.restartRequested();
    }
    if (restart) {
        // The program runs again in this process, so whoever waits for the till (the training
        // launcher, the demo script) keeps waiting for the new one. The windows and the
        // application are gone; the lock goes before the new image looks for it.
        instance.release();
        std::vector<std::string> words = arguments;
        std::vector<char *> argvAgain;
        for (std::string &word : words)
            argvAgain.push_back(word.data());
        argvAgain.push_back(nullptr);
        if (::chdir(startDirectory.constData()) == 0)
            ::execv("/proc/self/exe", argvAgain.data());
        RunLog::write("重启失败: %s", std::strerror(errno));
        return 1;
    }
    return status;
}
