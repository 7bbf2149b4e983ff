#include "PayingWin.h"
#include "ui_PayingWin.h"

#include "WindowScaling.h"

namespace {

const char kLitDot[] = "border-image: url(:/Tallyport/skin/yl.png);";
const char kUnlitDot[] = "border-image: url(:/Tallyport/skin/ya.png);";

} // namespace

PayingWin::PayingWin(QWidget *parent)
    : QWidget(parent)
    , m_ui(std::make_unique<Ui::PayingWin>())
{
    m_ui->setupUi(this);
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint
        | Qt::WindowStaysOnTopHint);
    setAttribute(Qt::WA_StyledBackground);
    // Shown over the checkout while the cashier may be typing the next sale: the keys stay
    // with the checkout's fields.
    setAttribute(Qt::WA_ShowWithoutActivating);

    m_dotLabels = {m_ui->label_3, m_ui->label_4, m_ui->label_5, m_ui->label_6, m_ui->label_7};
    setDots({});

    m_design = std::make_unique<DesignGeometry>(this);
    resizeWinodw();
}

PayingWin::~PayingWin() = default;

void PayingWin::setText(const QString &text)
{
    m_ui->label_2->setText(text);
}

void PayingWin::setDots(const std::array<bool, 5> &lit)
{
    m_lit = lit;
    for (std::size_t i = 0; i < m_dotLabels.size(); ++i)
        m_dotLabels[i]->setStyleSheet(QLatin1String(lit[i] ? kLitDot : kUnlitDot));
}

std::array<bool, 5> PayingWin::dots() const
{
    return m_lit;
}

void PayingWin::resizeWinodw()
{
    // Start from the design each time, so a second call does not scale twice.
    m_design->applyScaled(WindowScaling::current());
}
