#include "window/trendseries.h"

#include <algorithm>
#include <cmath>

namespace {

bool sameValue(double a, double b)
{
    return a == b || (std::isnan(a) && std::isnan(b));
}

} // namespace

bool TrendSeries::append(qint64 ms, double value)
{
    if (!times.isEmpty()) {
        if (sameValue(values.constLast(), value)) {
            endMs = std::max(endMs, ms);
            return false;
        }
        ms = std::max(ms, times.constLast());
    }
    times.append(ms);
    values.append(value);
    endMs = std::max(endMs, ms);
    return true;
}

qsizetype TrendSeries::indexAt(qint64 ms) const
{
    const auto it = std::upper_bound(times.cbegin(), times.cend(), ms);
    return (it - times.cbegin()) - 1;
}

bool TrendSeries::valueAt(qint64 ms, double *value) const
{
    const qsizetype i = indexAt(ms);
    if (i < 0 || (!live && ms > endMs) || std::isnan(values.at(i)))
        return false;
    *value = values.at(i);
    return true;
}

void TrendSeries::merge(const TrendSeries &other)
{
    TrendSeries merged;
    merged.times.reserve(times.size() + other.times.size());
    merged.values.reserve(times.size() + other.times.size());
    qsizetype a = 0;
    qsizetype b = 0;
    while (a < times.size() || b < other.times.size()) {
        if (b == other.times.size() || (a < times.size() && times.at(a) <= other.times.at(b))) {
            merged.append(times.at(a), values.at(a));
            ++a;
        } else {
            merged.append(other.times.at(b), other.values.at(b));
            ++b;
        }
    }
    times = std::move(merged.times);
    values = std::move(merged.values);
    endMs = std::max({endMs, other.endMs, merged.endMs});
}

void TrendSeries::dropBefore(qint64 ms)
{
    const qsizetype i = indexAt(ms);
    if (i <= 0)
        return;
    times.remove(0, i);
    values.remove(0, i);
    times[0] = ms;
}
