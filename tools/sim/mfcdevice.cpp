#include "mfcdevice.h"

#include "relayserver.h"

#include <QLocale>
#include <QRandomGenerator>

#include <cmath>

namespace {

// Time constant of the flow: within 1 % of a step after five ticks.
constexpr double TauSeconds = 0.2;

QString shortest(double v)
{
    return QString::number(v, 'g', QLocale::FloatingPointShortest);
}

// A real controller reports a handful of digits, not binary fractions.
double deviceDigits(double v)
{
    return QString::number(v, 'g', 4).toDouble();
}

} // namespace

MfcDevice::MfcDevice(const QString &address, RelayServer &server, QObject *parent)
    : QObject(parent), server(server), deviceAddress(address)
{
    timer.setInterval(TickMs);
    connect(&timer, &QTimer::timeout, this, &MfcDevice::step);
}

void MfcDevice::setSettingValue(double value)
{
    setting = value;
    server.publish(deviceAddress, QStringLiteral("_ChangedSettingValue ") + shortest(value));
    emit settingChanged();
    follow();
}

void MfcDevice::setGasReaches(bool reaches)
{
    gas = reaches;
    follow();
}

void MfcDevice::setNoise(double fraction)
{
    noise = fraction > 0 ? fraction : 0.0;
    follow();
}

double MfcDevice::target() const
{
    // No controller measures a negative flow.
    return gas ? qMax(0.0, setting) : 0.0;
}

void MfcDevice::follow()
{
    span = std::abs(target() - model);
    const bool noisy = noise > 0 && target() > 0;
    if ((span > 0 || noisy || measured != model) && !timer.isActive())
        timer.start();
}

void MfcDevice::step()
{
    const double goal = target();
    const double left = goal - model;
    if (std::abs(left) <= 0.01 * span || std::abs(left) < 1e-9)
        model = goal;
    else
        model = deviceDigits(model + left * (1 - std::exp(-TickMs / 1000.0 / TauSeconds)));

    double now = model;
    if (noise > 0 && goal > 0)
        now = qMax(0.0, deviceDigits(model + goal * noise * (2 * QRandomGenerator::global()->generateDouble() - 1)));
    else if (model == goal)
        timer.stop();

    if (now != measured) {
        measured = now;
        server.publish(deviceAddress, QStringLiteral("_ChangedValue ") + shortest(measured));
    }
}
