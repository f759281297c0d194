#pragma once

#include "linehandler.h"

#include <QMap>
#include <QObject>
#include <QSet>
#include <QStringList>

class PlantTree;
class RelayServer;

// The valve channel servers: one node per hardware node named by the VALVE
// lines, holding the channels those lines name. Every channel starts off.
class ValveHardware : public QObject, public LineHandler
{
    Q_OBJECT

public:
    ValveHardware(const PlantTree &tree, RelayServer &server, QObject *parent = nullptr);

    QStringList nodeNames() const { return channels.keys(); }
    bool hasChannel(const QString &node, const QString &channel) const;
    bool isOn(const QString &node, const QString &channel) const;
    // Switches a channel and announces a change with "_ChangedIsOn"; false
    // when the node has no such channel.
    bool setChannel(const QString &node, const QString &channel, bool on);
    // A stuck channel ignores "ChOn" and "ChOff" but still answers "IsOn",
    // as a valve that does not move. address is NODE.CHANNEL; false when
    // there is no such channel.
    bool setStuck(const QString &address, bool stuck);

    bool handle(const TMsg &msg) override;

signals:
    void channelChanged();

private:
    Q_DISABLE_COPY(ValveHardware)
    RelayServer &server;
    QMap<QString, QMap<QString, bool>> channels;
    QSet<QString> stuck;
};
