#pragma once

#include <QString>

// Starting the client when the user logs in: an XDG autostart entry
// ($XDG_CONFIG_HOME/autostart/Tallyport.desktop, by default under ~/.config) that runs the
// executable from its own directory. The training till, which its launcher marks with
// $TALLYPORT_TRAINING, keeps an entry of its own (Tallyport-training.desktop) that starts the
// launcher, and never touches the shop till's.
namespace AutoStart {

bool isTraining();
// What the entry of this process runs, for the till program `tillExecutable`: the program
// itself, or for the training till the training launcher beside it.
QString startCommand(const QString &tillExecutable);
QString entryPath();
// Writes the entry for `executable`, or removes it (also when it was never there). False when
// the entry could not be written or removed, or when the path holds a control character (no
// path may add lines to the entry).
bool setEnabled(bool enabled, const QString &executable);
bool isEnabled();

// The Exec value that runs `executable` with no arguments: the path quoted, and escaped as
// desktop entries require, so that blanks, quotes, "$", "`", "\" and "%" stay in the path.
QString execValue(const QString &executable);

} // namespace AutoStart
