#include "WindowScaling.h"

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
