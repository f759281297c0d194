#include "window/trenddecimator.h"

#include <algorithm>
#include <cmath>

namespace {

// fmin and fmax, inline: a NaN (a gap) adds nothing to the range.
double lower(double a, double b)
{
    return b < a || a != a ? b : a;
}

double higher(double a, double b)
{
    return b > a || a != a ? b : a;
}

} // namespace

TrendTrace decimate(const TrendSeries &s, qint64 from, qint64 to, int width, qint64 knownUntil)
{
    TrendTrace trace;
    if (width <= 0 || to <= from || s.isEmpty() || s.times.constFirst() >= to || knownUntil < from)
        return trace;
    const double perMs = double(width) / double(to - from);
    const auto columnOf = [&](qint64 ms) { return std::clamp(int(double(ms - from) * perMs), 0, width - 1); };

    qsizetype i = s.indexAt(from);
    TrendColumn c;
    if (i >= 0) {
        c = {0, s.values.at(i), s.values.at(i), s.values.at(i)};
        ++i;
    } else {
        i = 0;
        c.column = -1;
    }
    const qsizetype n = s.times.size();
    for (; i < n && s.times.at(i) < to; ++i) {
        const double v = s.values.at(i);
        const int col = columnOf(s.times.at(i));
        if (col != c.column) {
            if (c.column >= 0)
                trace.columns.append(c);
            const double entering = c.column >= 0 ? c.last : std::nan("");
            c.column = col;
            c.low = lower(entering, v);
            c.high = higher(entering, v);
        } else {
            c.low = lower(c.low, v);
            c.high = higher(c.high, v);
        }
        c.last = v;
    }
    trace.columns.append(c);
    trace.endColumn = knownUntil >= to ? width - 1 : columnOf(knownUntil);
    return trace;
}
