#pragma once

#include <QString>

// The application directory holds the configuration file, pay.wav, Download and KeyHook.
// It is the executable's directory, or $TALLYPORT_HOME when that is set (tests, the demo).
namespace AppDir {

QString path();
QString filePath(const QString &fileName);

} // namespace AppDir
