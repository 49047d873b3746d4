// Build tool: draws Orvane's icon, a sheet of paper with a check mark on a round badge, as a PNG.
// Usage: makeicon SIZE OUTPUT.png

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPen>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    const int size = argc == 3 ? std::atoi(argv[1]) : 0;
    if (size < 16 || size > 1024) {
        std::fprintf(stderr, "usage: makeicon SIZE OUTPUT.png (SIZE 16 to 1024)\n");
        return 2;
    }
    QImage icon(size, size, QImage::Format_ARGB32_Premultiplied);
    icon.fill(Qt::transparent);
    QPainter painter(&icon);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 256.0, size / 256.0);

    // The sheet, with its top right corner folded.
    QPainterPath sheet;
    sheet.moveTo(48, 16);
    sheet.lineTo(160, 16);
    sheet.lineTo(208, 64);
    sheet.lineTo(208, 240);
    sheet.lineTo(48, 240);
    sheet.closeSubpath();
    painter.setPen(QPen(QColor(0x2e, 0x3b, 0x4e), 8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(QColor(0xf4, 0xf6, 0xf8));
    painter.drawPath(sheet);
    painter.drawPolyline(QPolygonF({ QPointF(160, 16), QPointF(160, 64), QPointF(208, 64) }));

    // Lines of text on the sheet.
    painter.setPen(QPen(QColor(0x9a, 0xa5, 0xb4), 10, Qt::SolidLine, Qt::RoundCap));
    for (int y : { 92, 120, 148 })
        painter.drawLine(80, y, 176, y);

    // The badge with its check mark.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x1f, 0x8a, 0x4c));
    painter.drawEllipse(QPointF(176, 196), 58, 58);
    painter.setPen(QPen(Qt::white, 16, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawPolyline(QPolygonF({ QPointF(148, 198), QPointF(168, 218), QPointF(206, 174) }));
    painter.end();

    if (!icon.save(QString::fromLocal8Bit(argv[2]), "PNG")) {
        std::fprintf(stderr, "makeicon: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
