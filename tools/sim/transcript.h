#pragma once

#include <QString>

// The time-stamped record of every line the server receives, sends or
// drops, written to standard output one flushed line at a time so that a
// test or an operator can follow it live.
class Transcript
{
public:
    void setQuiet(bool on) { quiet = on; }

    void received(const QString &client, const QString &line);
    void sent(const QString &client, const QString &line);
    void dropped(const QString &client, const QString &line, const QString &reason);
    // An event the hardware published that nobody had asked for.
    void unheard(const QString &sender, const QString &text);
    void note(const QString &text);

private:
    void write(const QString &text);

    bool quiet = false;
};
