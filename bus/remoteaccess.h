#pragma once

#include "bus/tmsg.h"

#include <QList>
#include <QObject>
#include <QStringList>

// Decides whether a request that changes the plant ("SetNewGas", "SetGas",
// "SetPurge") may be carried out. REMOTE_CLIENTS lists the client login names
// that may send them, "name@Line1" for one bus name only; without the key every
// client may. While the operator keeps the panel in local control every such
// request is refused. Reading requests never come here.
class RemoteAccess : public QObject
{
    Q_OBJECT

public:
    // One item of REMOTE_CLIENTS: the client, and the bus name after "@"
    // (empty for every name). perLine tells "name@" from "name".
    struct Rule
    {
        QString client;
        QString line;
        bool perLine = false;
    };

    // clientEntries: the texts of every REMOTE_CLIENTS entry; an empty list
    // means the key is absent and every client may change the plant.
    RemoteAccess(const QStringList &clientEntries, bool remoteControl, QObject *parent = nullptr);

    // The items of one REMOTE_CLIENTS entry.
    static QStringList ruleItems(const QString &rest);
    static Rule parseRule(const QString &item);
    // A login name as it can stand before the first "." of a sender.
    static bool validClientName(const QString &name);
    // REMOTE_CONTROL: "ON" (any letter case) keeps remote control on; any
    // other value starts the panel in local control.
    static bool remoteAtStart(const QString &value);

    // The reply that refuses msg, empty when it may go on.
    QString refusal(const TMsg &msg) const;
    // refusal(); a refusal is also counted, logged and announced.
    QString admit(const TMsg &msg);

    bool remoteControl() const { return remote; }
    int refusedCount() const { return refusals; }

public slots:
    void setRemoteControl(bool on);

signals:
    // reason is the reply's text after "Er:".
    void refused(const QString &sender, const QString &request, const QString &reason);
    void remoteControlChanged(bool on);

private:
    Q_DISABLE_COPY(RemoteAccess)

    bool listed(const TMsg &msg) const;

    QList<Rule> rules;
    bool everyone = true;
    bool remote = true;
    int refusals = 0;
};
