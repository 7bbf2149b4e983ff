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

// What the display's scale needs before the QApplication is made: on Windows the till follows
// the display setting (125 %, 150 %, 200 %) as Windows asks every program to, its forms laid
// out in device-independent pixels and drawn at exactly the display's scale. On Linux Qt's own
// variables (QT_AUTO_SCREEN_SCALE_FACTOR, QT_SCALE_FACTOR) scale it, at the same exact scale.
void prepareForDisplay();

// The primary screen's size, or the size set for tests.
QSize screenSize();
ScreenScale current();
// Tests lay windows out for a screen of their choosing; an empty size restores the real one.
void setScreenOverride(QSize size);

// Scales the root's size and the geometry of every widget inside it (not the root's position).
void scaleWidgetTree(QWidget *root, const ScreenScale &scale);

// The top-left that centres `size` over `owner`, in global coordinates.
QPoint centredOver(const QWidget *owner, QSize size);

// Moves a top-level window up or left as far as it must to lie on the screen (the primary
// screen's area without the taskbar, or the size set for tests); a window larger than the
// screen keeps its top-left corner on it. A page that makes a window taller than the room
// below it (the settings on a 1366 x 768 screen at 125 %) keeps its buttons on the screen.
void keepOnScreen(QWidget *window);

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
