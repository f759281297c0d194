#include "simcontrol.h"

#include "relayserver.h"
#include "valvehardware.h"

#include "bus/tmsg.h"

const QString SimControl::Name = QStringLiteral("Sim");

SimControl::SimControl(RelayServer &server, ValveHardware &valves) : server(server), valves(valves)
{
    server.addHandler(Name, this);
}

bool SimControl::handle(const TMsg &msg)
{
    const QStringList &p = msg.paramList;
    const QString ok = QStringLiteral("@%1 Ok: %2").arg(msg.cmd, msg.params);
    const auto error = [&msg](const QString &why) { return QStringLiteral("@%1 Er: %2").arg(msg.cmd, why); };

    if (msg.cmd == QLatin1String("Silence") || msg.cmd == QLatin1String("Unsilence")) {
        if (p.size() != 1) {
            server.reply(msg, error(QStringLiteral("usage: %1 ADDRESS").arg(msg.cmd)));
            return true;
        }
        if (msg.cmd == QLatin1String("Silence"))
            server.silence(p.first());
        else
            server.unsilence(p.first());
        server.reply(msg, ok);
    } else if (msg.cmd == QLatin1String("Drop")) {
        if (p.size() != 1) {
            server.reply(msg, error(QStringLiteral("usage: Drop CLIENT")));
            return true;
        }
        // Answer first: the requester may be dropping itself.
        if (msg.fromName == p.first()) {
            server.reply(msg, ok);
            server.dropClient(p.first());
        } else {
            server.reply(msg, server.dropClient(p.first()) ? ok : error(QStringLiteral("no client ") + p.first()));
        }
    } else if (msg.cmd == QLatin1String("Raw")) {
        if (p.size() < 2) {
            server.reply(msg, error(QStringLiteral("usage: Raw CLIENT TEXT")));
            return true;
        }
        const QString text = msg.params.section(QLatin1Char(' '), 1);
        server.reply(msg, server.sendRaw(p.first(), text) ? ok : error(QStringLiteral("no client ") + p.first()));
    } else if (msg.cmd == QLatin1String("SetChannel")) {
        if (p.size() != 3 || (p.at(2) != QLatin1String("0") && p.at(2) != QLatin1String("1"))) {
            server.reply(msg, error(QStringLiteral("usage: SetChannel NODE CHANNEL 0|1")));
            return true;
        }
        // Switching first lets the requester see the change event before the answer.
        const bool done = valves.setChannel(p.at(0), p.at(1), p.at(2) == QLatin1String("1"));
        server.reply(msg, done ? ok : error(QStringLiteral("no channel %1 on %2").arg(p.at(1), p.at(0))));
    } else if (msg.cmd == QLatin1String("Stick") || msg.cmd == QLatin1String("Unstick")) {
        if (p.size() != 1) {
            server.reply(msg, error(QStringLiteral("usage: %1 NODE.CHANNEL").arg(msg.cmd)));
            return true;
        }
        const bool done = valves.setStuck(p.first(), msg.cmd == QLatin1String("Stick"));
        server.reply(msg, done ? ok : error(QStringLiteral("no valve channel ") + p.first()));
    } else if (msg.cmd == QLatin1String("Help")) {
        server.reply(msg, QStringLiteral("@Help Silence ADDRESS | Unsilence ADDRESS | Drop CLIENT | Raw CLIENT TEXT | "
                                         "SetChannel NODE CHANNEL 0|1 | Stick NODE.CHANNEL | Unstick NODE.CHANNEL"));
    } else {
        return false;
    }
    return true;
}
