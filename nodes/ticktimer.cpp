#include "nodes/ticktimer.h"

TickTimer::TickTimer(QObject *parent) : QTimer(parent), tickTimer(new QTimer)
{
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
