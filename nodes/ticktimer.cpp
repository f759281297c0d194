#include "nodes/ticktimer.h"

#include <QTimerEvent>

TickTimer::TickTimer(QObject *parent) : QTimer(parent)
{
    // Coarse timers of 20 s and more are aligned to whole seconds, which would
    // make a freshly started countdown show one second less than was set.
    setTimerType(Qt::PreciseTimer);
}

TickTimer::~TickTimer()
{
    // The tick timer has no parent; it must not go on ticking until it is
    // actually deleted.
    if (tickTimer) {
        tickTimer->stop();
        tickTimer->deleteLater();
    }
}

void TickTimer::startTicks()
{
    if (!tickTimer) {
        tickTimer = new QTimer;
        tickTimer->setTimerType(Qt::PreciseTimer);
        tickTimer->setSingleShot(false);
        tickTimer->setInterval(1000);
        connect(tickTimer, &QTimer::timeout, this, &TickTimer::tickTimerTimeout);
    }
    tickTimer->start();
}

void TickTimer::stopTicks()
{
    if (tickTimer)
        tickTimer->stop();
}

void TickTimer::timerEvent(QTimerEvent *event)
{
    // The ticks end before anyone hears of the time-out, so that a countdown
    // started again from there keeps its ticks.
    if (tickTimer && event->timerId() == timerId())
        tickTimer->stop();
    QTimer::timerEvent(event);
}

void TickTimer::tickTimerTimeout()
{
    emit tick(remainingTime());
}
