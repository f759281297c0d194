#pragma once

#include <QString>

// The shortest text of a value, worked out again only when the value
// changes: a value asked for far more often than it changes (an MFC's flows
// in every status answer) is formatted once.
class ShortestText
{
public:
    const QString &of(double value);

private:
    quint64 bits = 0;
    QString text;
};
