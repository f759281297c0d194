#pragma once

#include "window/trendseries.h"

#include <QList>

// One pixel column of a curve that holds a change: the lowest and highest
// value shown in it (the value it enters with included) and the value it
// leaves with. NaN stands for a gap.
struct TrendColumn
{
    int column = 0;
    double low = 0;
    double high = 0;
    double last = 0;
};

// A curve cut down to what a plot of a given width can show: at most one
// entry per pixel column, however many points fall into it.
struct TrendTrace
{
    QList<TrendColumn> columns;
    // The column where the last value stops being known; -1: nothing shown.
    int endColumn = -1;
};

// Min/max decimation of the step curve s over [from, to) onto width
// columns; s is known up to knownUntil.
TrendTrace decimate(const TrendSeries &s, qint64 from, qint64 to, int width, qint64 knownUntil);
