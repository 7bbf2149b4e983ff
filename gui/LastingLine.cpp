#include "LastingLine.h"
#include "ui_LastingLine.h"

#include "WindowScaling.h"

namespace {

// Above the screen's bottom edge, clear of the notices in its right corner.
constexpr int kMargin = 24;

} // namespace

LastingLine::LastingLine(QWidget *parent)
    : QWidget(parent)
    , m_ui(std::make_unique<Ui::LastingLine>())
{
    m_ui->setupUi(this);
    setAttribute(Qt::WA_StyledBackground);
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint
        | Qt::WindowDoesNotAcceptFocus);
    setAttribute(Qt::WA_ShowWithoutActivating);
    m_ui->label_line->setTextFormat(Qt::PlainText);
    m_design = std::make_unique<DesignGeometry>(this);
    m_design->applyScaled(WindowScaling::current());
}

LastingLine::~LastingLine() = default;

void LastingLine::setLine(const QString &text)
{
    if (text.isEmpty()) {
        hide();
        m_ui->label_line->clear();
        return;
    }
    m_ui->label_line->setText(text);
    const QSize screen = WindowScaling::screenSize();
    move((screen.width() - width()) / 2, screen.height() - height() - kMargin);
    show();
    raise();
}

QString LastingLine::line() const
{
    return isVisible() ? m_ui->label_line->text() : QString();
}
