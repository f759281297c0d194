#pragma once

#include "window/trenddecimator.h"

#include <QColor>
#include <QImage>
#include <QList>
#include <QSize>

// What one picture of the curves needs, taken on the GUI thread so that the
// drawing can run on another.
struct TrendPicture
{
    struct Curve
    {
        TrendTrace trace;
        QColor color;
        bool dashed = false;
        // Pixel row of a value: base - value * scale.
        double base = 0;
        double scale = 1;
    };
    struct Shade
    {
        int x0 = 0;
        int x1 = 0;
        QColor color;
    };

    QSize size;
    qreal devicePixelRatio = 1;
    QList<Shade> shades;
    QList<Curve> curves;
};

// Draws the picture: shades first, then each curve as a step line, one
// pixel column per entry of its trace.
QImage renderTrendPicture(const TrendPicture &picture);
