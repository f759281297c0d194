#pragma once

#include <QByteArray>
#include <QStringView>

// One line on the wire from its parts, into out: Latin-1 with one "?" for
// every character outside it, also for those that take two UTF-16 units (a
// pair split across two parts included), line breaks as blanks, and the line
// feed. out keeps its allocation from one line to the next.
void encodeLine(QByteArray &out, const QStringView *first, const QStringView *last);
