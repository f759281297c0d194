#include "nodes/ticktimer.h"

TickTimer::TickTimer(QObject *parent) : QTimer(parent), tickTimer(new QTimer)
{
    // Coarse timers of 20 s and more are aligned to whole seconds, which would
    // make a freshly started countdown show one second less than was set.
    setTimerType(Qt::PreciseTimer);
    tickTimer->setTimerType(Qt::PreciseTimer);
    tickTimer->setSingleShot(false);
    tickTimer->setInterval(1000);
    connect(tickTimer, &QTimer::timeout, this, &TickTimer::tickTimerTimeout);
    connect(this, &QTimer::timeout, tickTimer, &QTimer::stop);
}

TickTimer::~TickTimer()
{
    // The tick timer has no parent; it must not go on ticking until it is
    // actually deleted.
    tickTimer->stop();
    tickTimer->deleteLater();
}

void TickTimer::tickTimerTimeout()
{
    emit tick(remainingTime());
}
