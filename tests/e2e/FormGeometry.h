#pragma once

#include <QHash>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

// Where the widgets of a Designer form are, read from its .ui file, so that an end-to-end
// test can click a widget by its object name: each rectangle in the coordinates of the
// form's top widget (the designed layout, which screens up to 1440 pixels wide keep).
class FormGeometry final
{
public:
    // Reads forms/NAME.ui of the source tree; empty when it cannot be read.
    explicit FormGeometry(const QString &formName);

    bool isValid() const { return !m_rects.isEmpty(); }
    QSize size() const { return m_size; }
    QRect rect(const QString &objectName) const { return m_rects.value(objectName); }
    QPoint centre(const QString &objectName) const { return rect(objectName).center(); }

private:
    QSize m_size;
    QHash<QString, QRect> m_rects;
};
