#include "SystemMessageBox.h"

#include <QMessageBox>

namespace SystemMessageBox {

namespace {

Hook &testHook()
{
    static Hook hook;
    return hook;
}

} // namespace

void inform(const QString &caption, const QString &text)
{
    if (testHook()) {
        testHook()(caption, text);
        return;
    }
    auto *box = new QMessageBox(QMessageBox::NoIcon, caption, text, QMessageBox::Ok);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowFlag(Qt::WindowStaysOnTopHint);
    box->setModal(false);
    box->show();
}

void setTestHook(Hook hook)
{
    testHook() = std::move(hook);
}

} // namespace SystemMessageBox
