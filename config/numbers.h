#pragma once

#include <QString>

// Whole number in base 10; text that is not one, or does not fit 32 bits, is 0.
int toInt32(const QString &text);

// Locale-independent decimal; text that is not a number, and infinities and
// NaN (which nothing downstream can use), are 0.
double toDecimal(const QString &text);

// True when toDecimal would read text as the number it says, not as 0 for
// want of one.
bool isDecimal(const QString &text);

// Shortest text that reads back to the same value ("142", "9.5", "0.001").
QString shortest(double value);

// Truncates toward zero into the int range; NaN gives 0.
int clampToInt(double value);
