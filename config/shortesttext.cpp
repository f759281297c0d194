#include "config/shortesttext.h"

#include "config/numbers.h"

#include <cstring>

const QString &ShortestText::of(double value)
{
    // Compared bit for bit: -0 and 0 read differently, and NaN equals nothing.
    quint64 valueBits = 0;
    std::memcpy(&valueBits, &value, sizeof value);
    if (text.isNull() || valueBits != bits) {
        text = shortest(value);
        bits = valueBits;
    }
    return text;
}
