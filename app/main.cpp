#include "InstalledData.h"
#include "MetaTypes.h"
#include "Resources.h"
#include "SingleInstance.h"
#include "Tallyport.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    // One client per session: a second start ends at once, silently.
    SingleInstance instance;
    if (!instance.acquire())
        return 0;

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
    return app.exec();
}
