#pragma once

#include "ScreenScale.h"

#include <QHash>
#include <QPoint>
#include <QRect>
#include <QSize>

class QWidget;

// The screen adaptation shared by every window: the scale of the current screen, and the
// scaling of a whole form designed for 1440 x 900.
namespace WindowScaling {

// The primary screen's size, or the size set for tests.
QSize screenSize();
ScreenScale current();
// Tests lay windows out for a screen of their choosing; an empty size restores the real one.
void setScreenOverride(QSize size);

// Scales the root's size and the geometry of every widget inside it (not the root's position).
void scaleWidgetTree(QWidget *root, const ScreenScale &scale);

// The top-left that centres `size` over `owner`, in global coordinates.
QPoint centredOver(const QWidget *owner, QSize size);

} // namespace WindowScaling

// The designed geometry of a form, kept so that laying it out for the screen always starts
// from the design: a second layout does not scale twice.
class DesignGeometry final
{
public:
    // Records the root's size and the geometry of every widget inside it.
    explicit DesignGeometry(QWidget *root);

    // Restores the design, then scales it for `scale`.
    void applyScaled(const ScreenScale &scale) const;

private:
    QWidget *m_root;
    QSize m_size;
    QHash<QWidget *, QRect> m_children;
};
