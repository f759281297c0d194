#pragma once

#include "linehandler.h"

#include <QMap>
#include <QObject>
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

    bool handle(const TMsg &msg) override;

signals:
    void channelChanged();

private:
    Q_DISABLE_COPY(ValveHardware)
    RelayServer &server;
    QMap<QString, QMap<QString, bool>> channels;
};
