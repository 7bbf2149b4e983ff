#pragma once

#include <QString>

// Two directories matter to the client:
// - the application directory holds the program's own files: pay.wav, Download and KeyHook.
//   It is the executable's directory, or $TALLYPORT_HOME when that is set (tests, the demo).
// - the data directory holds what the client writes: the configuration file and, for an
//   installed program, the run logs. It is the application directory, unless that directory
//   cannot be written by this user and $TALLYPORT_HOME is not set (a program installed from
//   the package): then it is the user's data directory for Tallyport.
namespace AppDir {

QString path();
QString filePath(const QString &fileName);

// True for an installed program: no $TALLYPORT_HOME, and an application directory that this
// process may not write to or that the package marked as its own (kInstalledMarker), so that
// not even root writes into the package's directory.
bool isInstalled();
constexpr const char *kInstalledMarker = "installed";
// The user's data directory for the client, whether or not it exists yet:
// $XDG_DATA_HOME/tallyport (by default ~/.local/share/tallyport). It is what Qt calls the
// AppDataLocation of the program named "tallyport", fixed here so that helper programs (the
// updater) and a client started under another name find the same directory.
QString userDataPath();
QString dataPath();
QString dataFilePath(const QString &fileName);

} // namespace AppDir
