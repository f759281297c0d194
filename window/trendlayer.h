#pragma once

#include <QGraphicsItem>
#include <QImage>

// The curves of a chart, drawn as one picture over its plot area, and the
// cursor line, which moves without the picture being drawn again.
class TrendLayer : public QGraphicsItem
{
public:
    explicit TrendLayer(QGraphicsItem *parent);

    void setArea(const QRectF &area);
    void setPicture(const QImage &picture);
    // x inside the area; NaN hides the cursor.
    void setCursorX(double x);

    QRectF boundingRect() const override;
    void paint(QPainter *painter, const QStyleOptionGraphicsItem *option, QWidget *widget) override;

private:
    QRectF area;
    QImage picture;
    double cursorX;
};
