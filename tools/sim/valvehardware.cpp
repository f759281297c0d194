#include "valvehardware.h"

#include "planttree.h"
#include "relayserver.h"

#include "bus/tmsg.h"

ValveHardware::ValveHardware(const PlantTree &tree, RelayServer &server, QObject *parent)
    : QObject(parent), server(server)
{
    for (const PlantNode &node : tree.nodes()) {
        if (node.kind == PlantNode::Valve && !node.hwNode.isEmpty())
            channels[node.hwNode].insert(node.channel, false);
    }
    for (auto it = channels.cbegin(); it != channels.cend(); ++it)
        server.addHandler(it.key(), this);
}

bool ValveHardware::hasChannel(const QString &node, const QString &channel) const
{
    const auto found = channels.constFind(node);
    return found != channels.constEnd() && found->contains(channel);
}

bool ValveHardware::isOn(const QString &node, const QString &channel) const
{
    return channels.value(node).value(channel, false);
}

bool ValveHardware::setChannel(const QString &node, const QString &channel, bool on)
{
    if (!hasChannel(node, channel))
        return false;
    bool &state = channels[node][channel];
    if (state == on)
        return true;
    state = on;
    server.publish(node, QStringLiteral("_ChangedIsOn %1 %2").arg(channel).arg(on ? 1 : 0));
    emit channelChanged();
    return true;
}

bool ValveHardware::setStuck(const QString &address, bool on)
{
    const QString node = address.section(QLatin1Char('.'), 0, 0);
    if (!hasChannel(node, address.section(QLatin1Char('.'), 1)))
        return false;
    if (on)
        stuck.insert(address);
    else
        stuck.remove(address);
    return true;
}

bool ValveHardware::handle(const TMsg &msg)
{
    // The node answers under its own name only, never under a sub-address.
    if (msg.to != msg.toName || !channels.contains(msg.to))
        return false;
    const bool isOnRequest = msg.cmd == QLatin1String("IsOn");
    const bool on = msg.cmd == QLatin1String("ChOn");
    if (!isOnRequest && !on && msg.cmd != QLatin1String("ChOff"))
        return false;

    if (msg.paramList.isEmpty()) {
        server.reply(msg, QStringLiteral("@%1 Er: no channel given").arg(msg.cmd));
        return true;
    }
    const QString channel = msg.paramList.first();
    if (!hasChannel(msg.to, channel)) {
        server.reply(msg, QStringLiteral("@%1 %2 Er: no such channel").arg(msg.cmd, channel));
        return true;
    }
    if (isOnRequest) {
        server.reply(msg, QStringLiteral("@IsOn %1 %2").arg(channel).arg(isOn(msg.to, channel) ? 1 : 0));
        return true;
    }
    if (stuck.contains(msg.to + QLatin1Char('.') + channel)) {
        // It takes the command and stays where it is.
        server.reply(msg, QStringLiteral("@%1 %2 %3").arg(msg.cmd, channel).arg(isOn(msg.to, channel) ? 1 : 0));
        return true;
    }
    server.reply(msg, QStringLiteral("@%1 %2 %3").arg(msg.cmd, channel).arg(on ? 1 : 0));
    setChannel(msg.to, channel, on);
    return true;
}
