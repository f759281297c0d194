#include "window/trendlayer.h"

#include <QPainter>

#include <cmath>

TrendLayer::TrendLayer(QGraphicsItem *parent) : QGraphicsItem(parent), cursorX(std::nan(""))
{
    // Above the chart's grid and axes.
    setZValue(100);
}

void TrendLayer::setArea(const QRectF &rect)
{
    prepareGeometryChange();
    area = rect;
}

void TrendLayer::setPicture(const QImage &image)
{
    picture = image;
    update();
}

void TrendLayer::setCursorX(double x)
{
    if (x == cursorX || (std::isnan(x) && std::isnan(cursorX)))
        return;
    cursorX = x;
    update();
}

QRectF TrendLayer::boundingRect() const
{
    return area;
}

void TrendLayer::paint(QPainter *painter, const QStyleOptionGraphicsItem *, QWidget *)
{
    if (!picture.isNull())
        painter->drawImage(area.topLeft(), picture);
    if (std::isfinite(cursorX)) {
        painter->setPen(QPen(QColor(40, 40, 40), 0, Qt::DashLine));
        painter->drawLine(QPointF(area.left() + cursorX, area.top()), QPointF(area.left() + cursorX, area.bottom()));
    }
}
