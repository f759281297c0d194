#pragma once

#include <QTimer>

// A single-shot countdown that also reports the time left once a second.
class TickTimer : public QTimer
{
    Q_OBJECT

public:
    explicit TickTimer(QObject *parent = nullptr);
    ~TickTimer() override;

    // The once-a-second report. Its timer is made when first started: most
    // countdowns of a large plant never run.
    void startTicks();
    void stopTicks();
    bool ticking() const { return tickTimer && tickTimer->isActive(); }

signals:
    void tick(int remain_msec);

protected:
    void timerEvent(QTimerEvent *event) override;

private slots:
    void tickTimerTimeout();

private:
    Q_DISABLE_COPY(TickTimer)

    QTimer *tickTimer = nullptr;
};
