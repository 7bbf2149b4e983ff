// Download: the updater the client starts after an accepted upgrade offer, with the memo, the
// version and the url as its parameters. This stand-in records the parameters beside the
// client's configuration (Download.jsonl) and shows them to the user; it downloads nothing.
// Without a display (or on the offscreen platform) it prints them instead of showing them.
#include "AppDir.h"
#include "DownloadRecord.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

bool canShowWindows()
{
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (platform == "offscreen" || platform == "minimal")
        return false;
    return !qEnvironmentVariableIsEmpty("DISPLAY")
        || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

} // namespace

int main(int argc, char *argv[])
{
    // The parameters come from the network: they are taken as they came, before Qt sees any of
    // them, and Qt is given the program name alone, so that words such as "-reverse",
    // "-style X" or "-display H:0" stay parameters and never become options of the toolkit.
    QStringList parameters;
    for (int i = 1; i < argc; ++i)
        parameters.append(QString::fromLocal8Bit(argv[i]));
    int qtArgc = 1;
    char *qtArgv[] = {argv[0], nullptr};

    const bool windows = canShowWindows();
    std::unique_ptr<QCoreApplication> app = windows
        ? std::make_unique<QApplication>(qtArgc, qtArgv)
        : std::make_unique<QCoreApplication>(qtArgc, qtArgv);

    const DownloadRecord record(parameters);
    const QString directory = AppDir::dataPath();
    if (!QDir(directory).exists() && QDir().mkpath(directory))
        QFile::setPermissions(
            directory, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    const QString path = directory + QStringLiteral("/Download.jsonl");
    if (!record.appendTo(path))
        std::fprintf(stderr, "Download: cannot record the parameters in %s\n", qPrintable(path));

    if (!windows) {
        std::printf("%s\n", qPrintable(record.describe()));
        return EXIT_SUCCESS;
    }
    QMessageBox box(
        QMessageBox::Information, QStringLiteral("Download"), record.describe(), QMessageBox::Ok);
    box.exec();
    return EXIT_SUCCESS;
}
