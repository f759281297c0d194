#include "mfcdevices.h"

#include "mfcdevice.h"
#include "planttree.h"
#include "relayserver.h"
#include "valvehardware.h"

#include "bus/tmsg.h"

#include <QLocale>

#include <cmath>

MfcDevices::MfcDevices(const PlantTree &tree, const ValveHardware &valves, RelayServer &server, QObject *parent)
    : QObject(parent), tree(tree), valves(valves), server(server)
{
    for (const PlantNode &node : tree.nodes()) {
        if (node.kind != PlantNode::Mfc || node.hwNode.isEmpty() || devices.contains(node.address()))
            continue;
        auto *device = new MfcDevice(node.address(), server, this);
        // A set value opens or closes the way for the MFCs downstream.
        connect(device, &MfcDevice::settingChanged, this, &MfcDevices::updateSupply);
        devices.insert(node.address(), device);
        server.addHandler(node.hwNode, this);
    }
    connect(&valves, &ValveHardware::channelChanged, this, &MfcDevices::updateSupply);
    updateSupply();
}

void MfcDevices::setNoise(double fraction)
{
    for (MfcDevice *device : std::as_const(devices))
        device->setNoise(fraction);
}

bool MfcDevices::handle(const TMsg &msg)
{
    MfcDevice *dev = devices.value(msg.to);
    if (!dev)
        return false;
    const auto number = [](double v) { return QString::number(v, 'g', QLocale::FloatingPointShortest); };

    if (msg.cmd == QLatin1String("GetValue")) {
        server.reply(msg, QStringLiteral("@GetValue ") + number(dev->measuredValue()));
    } else if (msg.cmd == QLatin1String("GetSettingValue")) {
        server.reply(msg, QStringLiteral("@GetSettingValue ") + number(dev->settingValue()));
    } else if (msg.cmd == QLatin1String("SetValue")) {
        bool ok = false;
        const double value = msg.paramList.value(0).toDouble(&ok);
        // A controller keeps its set value rather than guess at a garbled one.
        if (!ok || !std::isfinite(value)) {
            server.reply(msg, QStringLiteral("@SetValue Er: not a number"));
            return true;
        }
        server.reply(msg, QStringLiteral("@SetValue ") + number(value));
        dev->setSettingValue(value);
    } else if (msg.cmd == QLatin1String("SetRunMode")) {
        server.reply(msg, QStringLiteral("@SetRunMode ") + msg.params);
    } else {
        return false;
    }
    return true;
}

void MfcDevices::updateSupply()
{
    const auto open = [this](const PlantNode &node) { return isOpen(node); };
    QMap<QString, bool> reaches;
    for (int i = 0; i < tree.nodes().size(); ++i) {
        const PlantNode &node = tree.nodes().at(i);
        if (node.kind == PlantNode::Mfc && devices.contains(node.address()) && !reaches.value(node.address()))
            reaches[node.address()] = tree.gasReaches(i, open);
    }
    for (auto it = devices.cbegin(); it != devices.cend(); ++it)
        it.value()->setGasReaches(reaches.value(it.key()));
}

bool MfcDevices::isOpen(const PlantNode &node) const
{
    switch (node.kind) {
    case PlantNode::Valve:
        // A normally-on valve lets gas through while its channel is off.
        return valves.isOn(node.hwNode, node.channel) != node.normallyOn;
    case PlantNode::Mfc: {
        const MfcDevice *dev = devices.value(node.address());
        return dev && dev->settingValue() > 0;
    }
    default:
        return true;
    }
}
