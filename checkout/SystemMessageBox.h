#pragma once

#include <QString>

#include <functional>

// A system message box of the checkout: caption, text and an OK button, with no owner window.
// It never holds up its caller: the box stays on screen until the cashier presses OK while
// everything else goes on. Tests take the boxes through a hook instead of the screen.
namespace SystemMessageBox {

using Hook = std::function<void(const QString &caption, const QString &text)>;

// On the GUI thread.
void inform(const QString &caption, const QString &text);
// While a hook is set, boxes go to it and nothing is shown; an empty hook shows them again.
void setTestHook(Hook hook);

} // namespace SystemMessageBox
