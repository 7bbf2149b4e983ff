#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

// A temporary application directory for one test: sets TALLYPORT_HOME to it and makes it the
// working directory (where the run logs go) for its lifetime; both are restored afterwards.
class TempHome
{
public:
    TempHome();
    ~TempHome();
    TempHome(const TempHome &) = delete;
    TempHome &operator=(const TempHome &) = delete;

    bool isValid() const { return m_dir.isValid(); }
    QString path() const { return m_dir.path(); }
    QString filePath(const QString &name) const { return m_dir.filePath(name); }

private:
    QTemporaryDir m_dir;
    bool m_hadHome = false;
    QByteArray m_oldHome;
    QString m_oldWorkingDir;
};
