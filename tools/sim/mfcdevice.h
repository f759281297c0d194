#pragma once

#include <QObject>
#include <QTimer>

class RelayServer;

// One mass-flow controller: its set value, and a measured flow that follows
// the set value in about a second while gas reaches it and falls to 0
// otherwise. Reports the flow with "_ChangedValue" while it moves, at most
// five times a second, and falls silent once settled.
class MfcDevice : public QObject
{
    Q_OBJECT

public:
    MfcDevice(const QString &address, RelayServer &server, QObject *parent = nullptr);

    QString address() const { return deviceAddress; }
    double settingValue() const { return setting; }
    double measuredValue() const { return measured; }

    // Takes a new set value and confirms it with "_ChangedSettingValue".
    void setSettingValue(double value);
    void setGasReaches(bool reaches);
    // Relative amplitude of the measurement noise; 0 lets the flow settle
    // exactly on the set value.
    void setNoise(double fraction);

    static constexpr int TickMs = 200;

signals:
    void settingChanged();

private:
    double target() const;
    void follow();
    void step();

    Q_DISABLE_COPY(MfcDevice)
    RelayServer &server;
    QString deviceAddress;
    double setting = 0;
    double model = 0;    // the flow without noise
    double measured = 0; // the flow as reported
    double span = 0;     // distance left when the current move began
    double noise = 0;
    bool gas = false;
    QTimer timer;
};
