#include "nodes/ticktimer.h"

// Interface stub.
TickTimer::TickTimer(QObject *parent) : QTimer(parent), tickTimer(new QTimer) {}
TickTimer::~TickTimer() { tickTimer->deleteLater(); }
void TickTimer::tickTimerTimeout() {}
