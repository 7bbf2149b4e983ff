#include "WindowScaling.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace {

QSize &screenOverride()
{
    static QSize size;
    return size;
}

} // namespace

namespace WindowScaling {

void prepareForDisplay()
{
    // The scale as the display gives it, 125 % as 1.25: rounded to a whole factor it would be
    // drawn at 100 % with fonts at 120 DPI, texts cut in the fixed forms, or at 200 %, windows
    // off the screen. At 1.25 texts and lines are drawn at the screen's own resolution, sharp,
    // where Windows would stretch the picture of a program that leaves the scale to it.
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(
        Qt::HighDpiScaleFactorRoundingPolicy::PassThrough);
#ifdef Q_OS_WIN
    // Windows gives every program the display's scale, and the till's manifest says it follows
    // it (per monitor, as Qt does). On Linux a display without a stated scale (Xvfb) would
    // scale by its physical size, so there the desktop's Qt variables decide.
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
#endif
}

QSize screenSize()
{
    if (screenOverride().isValid())
        return screenOverride();
    const QScreen *screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry().size()
                  : QSize(ScreenScale::kDesignWidth, ScreenScale::kDesignHeight);
}

ScreenScale current()
{
    return ScreenScale(screenSize());
}

void setScreenOverride(QSize size)
{
    screenOverride() = size;
}

void scaleWidgetTree(QWidget *root, const ScreenScale &scale)
{
    if (!scale.active())
        return;
    const QList<QWidget *> children = root->findChildren<QWidget *>();
    for (QWidget *child : children) {
        if (child->isWindow())
            continue;
        child->setGeometry(scale.rect(child->geometry()));
    }
    root->resize(scale.size(root->size()));
}

QPoint centredOver(const QWidget *owner, QSize size)
{
    const QPoint topLeft = owner->mapToGlobal(QPoint(0, 0));
    return QPoint(topLeft.x() + (owner->width() - size.width()) / 2,
        topLeft.y() + (owner->height() - size.height()) / 2);
}

void keepOnScreen(QWidget *window)
{
    QRect area(QPoint(0, 0), screenSize());
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!screenOverride().isValid() && screen)
        area = screen->availableGeometry();
    const QRect frame = window->frameGeometry();
    const QPoint topLeft(qMax(area.left(), qMin(frame.left(), area.right() + 1 - frame.width())),
        qMax(area.top(), qMin(frame.top(), area.bottom() + 1 - frame.height())));
    if (topLeft != frame.topLeft())
        window->move(window->pos() + topLeft - frame.topLeft());
}

} // namespace WindowScaling

DesignGeometry::DesignGeometry(QWidget *root)
    : m_root(root)
    , m_size(root->size())
{
    const QList<QWidget *> children = root->findChildren<QWidget *>();
    for (QWidget *child : children)
        m_children.insert(child, child->geometry());
}

void DesignGeometry::applyScaled(const ScreenScale &scale) const
{
    m_root->resize(m_size);
    for (auto it = m_children.cbegin(); it != m_children.cend(); ++it)
        it.key()->setGeometry(it.value());
    WindowScaling::scaleWidgetTree(m_root, scale);
}
