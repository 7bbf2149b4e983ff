#include "FormGeometry.h"

#include <QFile>
#include <QVector>
#include <QXmlStreamReader>

namespace {

QRect readRect(QXmlStreamReader &xml)
{
    QRect rect;
    while (xml.readNextStartElement()) {
        if (xml.name() == QLatin1String("rect")) {
            while (xml.readNextStartElement()) {
                const int value = xml.readElementText().toInt();
                if (xml.name() == QLatin1String("x"))
                    rect.moveLeft(value);
                else if (xml.name() == QLatin1String("y"))
                    rect.moveTop(value);
                else if (xml.name() == QLatin1String("width"))
                    rect.setWidth(value);
                else if (xml.name() == QLatin1String("height"))
                    rect.setHeight(value);
            }
        } else {
            xml.skipCurrentElement();
        }
    }
    return rect;
}

} // namespace

FormGeometry::FormGeometry(const QString &formName)
{
    QFile file(QStringLiteral(TALLYPORT_FORMS_DIR "/") + formName + QStringLiteral(".ui"));
    if (!file.open(QIODevice::ReadOnly))
        return;
    QXmlStreamReader xml(&file);
    // The open widgets, outermost first, with the top-left of each in form coordinates.
    struct Open
    {
        QString name;
        QPoint origin;
    };
    QVector<Open> open;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == QLatin1String("widget")) {
            open.append({xml.attributes().value(QLatin1String("name")).toString(), QPoint()});
        } else if (xml.isEndElement() && xml.name() == QLatin1String("widget")) {
            open.removeLast();
        } else if (xml.isStartElement() && xml.name() == QLatin1String("property")
            && xml.attributes().value(QLatin1String("name")) == QLatin1String("geometry")
            && !open.isEmpty()) {
            const QRect local = readRect(xml);
            if (open.size() == 1) {
                m_size = local.size();
                m_rects.insert(open.last().name, QRect(QPoint(), local.size()));
                continue;
            }
            const QPoint origin = open.at(open.size() - 2).origin + local.topLeft();
            open.last().origin = origin;
            m_rects.insert(open.last().name, QRect(origin, local.size()));
        }
    }
}
