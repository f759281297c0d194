#pragma once

#include <QList>
#include <QString>

#include <limits>

// One curve of the trends: a value that holds from each change point until
// the next one. A NaN value marks a gap: nothing is known from there on
// until the next change point.
struct TrendSeries
{
    enum Kind { Flow, SetPoint, Valve };

    Kind kind = Flow;
    // The node's label, as the panel shows it and the record file names it.
    QString label;
    // Labels need not be unique: the n-th curve of this kind and label.
    int occurrence = 0;
    QList<qint64> times; // milliseconds since the epoch, never decreasing
    QList<double> values;
    // Data is known up to here (the last row of its file); live curves are
    // known up to the present.
    qint64 endMs = std::numeric_limits<qint64>::min();
    bool live = false;

    bool sameCurve(const TrendSeries &other) const
    {
        return kind == other.kind && occurrence == other.occurrence && label == other.label;
    }
    bool isEmpty() const { return times.isEmpty(); }
    // Adds a change point unless the value is the one in effect; a time
    // before the last change point is taken as that time. Returns true when
    // a point was added.
    bool append(qint64 ms, double value);
    // Index of the last change point at or before ms, -1 when there is none.
    qsizetype indexAt(qint64 ms) const;
    // The value shown at ms; false before the first point, after endMs (for
    // curves that are not live) and inside gaps.
    bool valueAt(qint64 ms, double *value) const;
    // Takes other's points into this curve in time order (other is of the
    // same curve: the next day's file, or the morning before the live
    // points). The value holds across the seam, as it does within a file.
    void merge(const TrendSeries &other);
    // Drops what lies before ms, keeping the value in effect there.
    void dropBefore(qint64 ms);
};
