#pragma once

#include <QTimer>

// A single-shot countdown that also reports the time left once a second.
class TickTimer : public QTimer
{
    Q_OBJECT

public:
    explicit TickTimer(QObject *parent = nullptr);
    ~TickTimer() override;

    QTimer *tickTimer;

signals:
    void tick(int remain_msec);

private slots:
    void tickTimerTimeout();

private:
    Q_DISABLE_COPY(TickTimer)
};
