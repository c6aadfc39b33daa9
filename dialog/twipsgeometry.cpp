#include "dialog/twipsgeometry.h"

#include "platform/twips.h"

#include <QVariant>
#include <QWidget>

namespace condora::twipsgeometry {

namespace {

const char *const PropertyName = "twipsGeometry";

QRect toPixels(const QRect &twips)
{
    return QRect(twips::toPixels(twips.x()), twips::toPixels(twips.y()), twips::toPixels(twips.width()),
                 twips::toPixels(twips.height()));
}

} // namespace

void setTwipsGeometry(QWidget *widget, const QRect &twips)
{
    const QRect pixels = toPixels(twips);
    // Remember the twips first: setGeometry() may deliver move and resize events at once.
    widget->setProperty(PropertyName, twips);
    widget->setGeometry(pixels);
}

QRect twipsGeometry(const QWidget *widget)
{
    const QVariant stored = widget->property(PropertyName);
    if (stored.isValid()) {
        const QRect twips = stored.toRect();
        if (toPixels(twips) == widget->geometry()) {
            return twips;
        }
    }
    const QRect g = widget->geometry();
    return QRect(twips::fromPixels(g.x()), twips::fromPixels(g.y()), twips::fromPixels(g.width()),
                 twips::fromPixels(g.height()));
}

void setLeft(QWidget *widget, int twips)
{
    QRect g = twipsGeometry(widget);
    g.moveLeft(twips);
    setTwipsGeometry(widget, g);
}

void setTop(QWidget *widget, int twips)
{
    QRect g = twipsGeometry(widget);
    g.moveTop(twips);
    setTwipsGeometry(widget, g);
}

void setWidth(QWidget *widget, int twips)
{
    QRect g = twipsGeometry(widget);
    g.setWidth(twips);
    setTwipsGeometry(widget, g);
}

void setHeight(QWidget *widget, int twips)
{
    QRect g = twipsGeometry(widget);
    g.setHeight(twips);
    setTwipsGeometry(widget, g);
}

int windowWidth(const QWidget *window)
{
    return twips::fromPixels(window->width()) + FrameWidth;
}

int windowHeight(const QWidget *window)
{
    return twips::fromPixels(window->height()) + FrameHeight;
}

void setWindowSize(QWidget *window, int widthTwips, int heightTwips)
{
    window->resize(twips::toPixels(widthTwips - FrameWidth), twips::toPixels(heightTwips - FrameHeight));
}

int windowLeft(const QWidget *window)
{
    return twips::fromPixels(window->pos().x());
}

int windowTop(const QWidget *window)
{
    return twips::fromPixels(window->pos().y());
}

void moveWindow(QWidget *window, int leftTwips, int topTwips)
{
    window->move(twips::toPixels(leftTwips), twips::toPixels(topTwips));
}

} // namespace condora::twipsgeometry
