#pragma once

#include "window/trenddecimator.h"

#include <QColor>
#include <QImage>
#include <QList>
#include <QSize>

// What one picture of the curves needs, taken on the GUI thread so that
// cutting the curves down and drawing them can run on another. The curves
// are copies that share their points with the model until it changes them.
struct TrendPicture
{
    enum Mode { Values, Lanes };
    struct Curve
    {
        TrendSeries series;
        qint64 knownUntil = 0;
        QColor color;
        bool dashed = false;
    };
    struct Shade
    {
        int x0 = 0;
        int x1 = 0;
        QColor color;
    };

    Mode mode = Values;
    qint64 from = 0;
    qint64 to = 1;
    QSize size;
    qreal devicePixelRatio = 1;
    QList<Shade> shades;
    QList<Curve> curves;
};

// The drawn picture and, for values, the axis it was drawn against.
struct TrendImage
{
    QImage image;
    double low = 0;
    double high = 1;
    int ticks = 2;
};

// Decimates every curve to the picture's pixel columns and draws it as a
// step line over the shades: against a value axis from 0 (or below) to a
// round number above the highest value shown, or each in a lane of its own.
TrendImage renderTrendPicture(const TrendPicture &picture);

// A range from low to high in round steps, about ticks of them.
void niceRange(double &low, double &high, int &ticks);
