#pragma once

#include "common/loginkeys.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QTcpServer>

class LineHandler;
class SimClient;
class TMsg;
class Transcript;

// The message server: hands out challenges, checks logins, relays lines
// between the logged-in clients, serves the node "System" (subscriptions and
// client events) and passes lines for the simulated hardware to its
// handlers. Every line passes through the transcript.
class RelayServer : public QObject
{
    Q_OBJECT

public:
    explicit RelayServer(Transcript &transcript, QObject *parent = nullptr);
    ~RelayServer() override;

    bool listen(const QHostAddress &address, quint16 port);
    QString errorString() const { return server.errorString(); }
    quint16 port() const { return server.serverPort(); }
    QHostAddress address() const { return server.serverAddress(); }

    // With keys, a login must bring the key its challenge selects;
    // without, any key is taken.
    void setKeys(const LoginKeys &loginKeys) { keys = loginKeys; }

    // Lines whose destination name is name go to handler first. A name
    // handled here cannot be taken by a client.
    void addHandler(const QString &name, LineHandler *handler);

    // Answers a request from the address it was sent to.
    void reply(const TMsg &request, const QString &text);
    // Sends text as an event from sender to every client that asked for it.
    void publish(const QString &sender, const QString &text);

    // Fault injection.
    bool sendRaw(const QString &client, const QString &text);
    bool dropClient(const QString &client);
    void silence(const QString &address);
    void unsilence(const QString &address);
    // A silenced address (or any address under a silenced node name)
    // neither takes lines nor publishes events.
    bool isSilenced(const QString &address) const;

private:
    void accept();
    void lineFrom(SimClient *client, const QByteArray &raw);
    void login(SimClient *client, const QString &line);
    void refuse(SimClient *client, const QString &name, const QString &why);
    void message(SimClient *client, const QByteArray &raw);
    void system(const TMsg &msg);
    void answerUnknown(const TMsg &msg, const QString &why);
    void deliver(SimClient *client, const QString &line);
    void forget(SimClient *client);
    SimClient *clientNamed(const QString &name) const;

    Q_DISABLE_COPY(RelayServer)
    Transcript &transcript;
    QTcpServer server;
    LoginKeys keys;
    QList<SimClient *> clients; // in the order they connected
    QHash<QString, QList<LineHandler *>> handlers;
    QSet<QString> silenced;
};
