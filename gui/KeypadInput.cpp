#include "KeypadInput.h"

#include <QLineEdit>

namespace {

QLineEdit *focused(std::initializer_list<QLineEdit *> fields)
{
    for (QLineEdit *field : fields) {
        if (field->hasFocus())
            return field;
    }
    return nullptr;
}

} // namespace

namespace KeypadInput {

void append(std::initializer_list<QLineEdit *> fields, const QString &text)
{
    if (QLineEdit *field = focused(fields))
        field->setText(field->text() + text);
}

void removeLast(std::initializer_list<QLineEdit *> fields)
{
    if (QLineEdit *field = focused(fields)) {
        QString text = field->text();
        text.chop(1);
        field->setText(text);
    }
}

void clear(std::initializer_list<QLineEdit *> fields)
{
    for (QLineEdit *field : fields)
        field->clear();
}

void clearIfUnchanged(QLineEdit *field, const QString &sent)
{
    if (field->text() == sent)
        field->clear();
}

} // namespace KeypadInput
