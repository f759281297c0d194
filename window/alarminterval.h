#pragma once

#include <QString>

// A time during which an alarm stood, as the trends shade it.
struct AlarmInterval
{
    enum Severity { Minor, Major, Invalid };

    QString source; // the node or link the alarm is about
    qint64 fromMs = 0;
    qint64 toMs = -1; // -1 while the alarm is still active
    Severity severity = Major;

    bool active() const { return toMs < 0; }
};
