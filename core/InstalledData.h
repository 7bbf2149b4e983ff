#pragma once

#include <QString>

// The data of a program installed from the package, made ready before the first window reads
// its settings. A program that is not installed (a build tree, $TALLYPORT_HOME) is left alone.
namespace InstalledData {

// The training sandbox's own directory (CA, store, journal) inside a data directory. The
// training launcher starts the sandbox with it, and a first run trusts the CA made there.
QString sandboxPath(const QString &dataDirectory);

// Writes the first configuration `file` when there is none yet: the three hosts at `host`, the
// CA bundle `caBundle`, and the settings page's built-in choices (the hot keys Ctrl+F9, Ctrl+F1
// and Ctrl+F6 among them). An existing file is left as it is. False when it cannot be written.
// The installed till, the training launcher and the demo script all start from it.
bool writeFirstConfiguration(const QString &file, const QString &host, const QString &caBundle);

// For an installed program, prepareIn(AppDir::userDataPath(), AppDir::path()); else nothing.
// Returns an empty text, or why the data directory could not be made ready.
QString prepare();

// Creates `dataDirectory` owner-only (an existing one is made owner-only too: it holds the
// cashier's password), sends the run logs there, and makes `programDirectory` the working
// directory, from which the keyboard-hook program is started. On the first run, when there is
// no configuration file yet, writes one (writeFirstConfiguration) that points the three hosts
// at the sandbox gateway on this machine and trusts the CA of the sandbox in
// sandboxPath(dataDirectory).
QString prepareIn(const QString &dataDirectory, const QString &programDirectory);

} // namespace InstalledData
