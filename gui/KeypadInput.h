#pragma once

#include <QString>

#include <initializer_list>

class QLineEdit;

// The on-screen keypads of the checkout, the single-window form and the refund window: a key
// acts on whichever of the window's fields has the keyboard focus (the keys themselves never
// take it), and on nothing when none has.
namespace KeypadInput {

void append(std::initializer_list<QLineEdit *> fields, const QString &text);
void removeLast(std::initializer_list<QLineEdit *> fields);
void clear(std::initializer_list<QLineEdit *> fields);

// Clears `field` when it still holds `sent`, what a request took from it: an answer never
// clears what the cashier or a device put there while the request ran.
void clearIfUnchanged(QLineEdit *field, const QString &sent);

} // namespace KeypadInput
