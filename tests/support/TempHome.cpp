#include "TempHome.h"

#include <QDir>
#include <QFile>
#include <QtGlobal>

TempHome::TempHome()
    : m_hadHome(qEnvironmentVariableIsSet("TALLYPORT_HOME"))
    , m_oldHome(qgetenv("TALLYPORT_HOME"))
    , m_oldWorkingDir(QDir::currentPath())
{
    if (!m_dir.isValid()) {
        qWarning("TempHome: no temporary directory");
        return;
    }
    qputenv("TALLYPORT_HOME", QFile::encodeName(m_dir.path()));
    if (!QDir::setCurrent(m_dir.path())) {
        qWarning("TempHome: cannot enter %s", qPrintable(m_dir.path()));
    }
}

TempHome::~TempHome()
{
    QDir::setCurrent(m_oldWorkingDir);
    if (m_hadHome) {
        qputenv("TALLYPORT_HOME", m_oldHome);
    } else {
        qunsetenv("TALLYPORT_HOME");
    }
}
