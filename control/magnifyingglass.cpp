#include "control/magnifyingglass.h"

#include <QPainter>
#include <QPen>

namespace condora {

namespace {

QImage transparentImage(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

} // namespace

QImage magnifyingGlassPicture(const QColor &ink)
{
    QImage image = transparentImage(32, 32);
    const QColor darkGrey = ink;
    QPainter painter(&image);
    // Hard edges: the picture keeps to a few solid colours, like a classic 16-colour icon.
    painter.setRenderHint(QPainter::Antialiasing, false);

    painter.setPen(QPen(darkGrey, 3));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(QPoint(12, 12), 8, 8);

    painter.setPen(QPen(darkGrey, 5, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPoint(19, 19), QPoint(28, 28));
    return image;
}

QImage magnifyingGlassToolboxImage()
{
    QImage image = transparentImage(16, 15);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, false);

    painter.setPen(QPen(QColor(32, 32, 32), 1));
    painter.setBrush(QColor(176, 216, 255));
    painter.drawEllipse(QPoint(6, 6), 4, 4);

    painter.setPen(QPen(QColor(128, 64, 0), 3, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPoint(10, 10), QPoint(14, 13));
    return image;
}

} // namespace condora
