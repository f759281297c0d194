#pragma once

#include "linehandler.h"

#include <QMap>
#include <QObject>

class MfcDevice;
class PlantNode;
class PlantTree;
class RelayServer;
class ValveHardware;

// The MFCs of the plant, one device per distinct address of the MFC lines,
// and the gas supply that decides whether each can have a flow at all.
class MfcDevices : public QObject, public LineHandler
{
    Q_OBJECT

public:
    MfcDevices(const PlantTree &tree, const ValveHardware &valves, RelayServer &server, QObject *parent = nullptr);

    MfcDevice *device(const QString &address) const { return devices.value(address); }
    QStringList addresses() const { return devices.keys(); }
    void setNoise(double fraction);

    bool handle(const TMsg &msg) override;

    // Tells every device whether gas reaches it now.
    void updateSupply();

private:
    bool isOpen(const PlantNode &node) const;

    Q_DISABLE_COPY(MfcDevices)
    const PlantTree &tree;
    const ValveHardware &valves;
    RelayServer &server;
    QMap<QString, MfcDevice *> devices;
};
