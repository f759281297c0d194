#include "relayserver.h"

#include "linehandler.h"
#include "simclient.h"
#include "transcript.h"

#include "bus/tmsg.h"

#include <QRandomGenerator>
#include <QTcpSocket>

namespace {

const QString SystemName = QStringLiteral("System");

} // namespace

RelayServer::RelayServer(Transcript &transcript, QObject *parent) : QObject(parent), transcript(transcript)
{
    connect(&server, &QTcpServer::newConnection, this, &RelayServer::accept);
}

RelayServer::~RelayServer() = default;

bool RelayServer::listen(const QHostAddress &address, quint16 port)
{
    return server.listen(address, port);
}

void RelayServer::addHandler(const QString &name, LineHandler *handler)
{
    QList<LineHandler *> &list = handlers[name];
    if (!list.contains(handler))
        list.append(handler);
}

void RelayServer::reply(const TMsg &request, const QString &text)
{
    const QString line = request.to + QLatin1Char('>') + request.from + QLatin1Char(' ') + text;
    SimClient *client = clientNamed(request.fromName);
    if (!client) {
        transcript.dropped(request.fromName, line, QStringLiteral("no client %1").arg(request.fromName));
        return;
    }
    deliver(client, line);
}

void RelayServer::publish(const QString &sender, const QString &text)
{
    if (isSilenced(sender)) {
        transcript.dropped(sender, text, QStringLiteral("silenced"));
        return;
    }
    bool heard = false;
    for (SimClient *client : std::as_const(clients)) {
        if (client->isLoggedIn() && client->isOpen() && client->isSubscribedTo(sender)) {
            deliver(client, sender + QLatin1Char('>') + client->name() + QLatin1Char(' ') + text);
            heard = true;
        }
    }
    if (!heard)
        transcript.unheard(sender, text);
}

bool RelayServer::sendRaw(const QString &name, const QString &text)
{
    SimClient *client = clientNamed(name);
    if (!client)
        return false;
    deliver(client, text);
    return true;
}

bool RelayServer::dropClient(const QString &name)
{
    SimClient *client = clientNamed(name);
    if (!client)
        return false;
    transcript.note(QStringLiteral("dropping %1").arg(name));
    client->drop();
    return true;
}

void RelayServer::silence(const QString &address)
{
    silenced.insert(address);
    transcript.note(QStringLiteral("%1 silenced").arg(address));
}

void RelayServer::unsilence(const QString &address)
{
    silenced.remove(address);
    transcript.note(QStringLiteral("%1 speaks again").arg(address));
}

bool RelayServer::isSilenced(const QString &address) const
{
    return silenced.contains(address) || silenced.contains(address.section(QLatin1Char('.'), 0, 0));
}

void RelayServer::accept()
{
    while (QTcpSocket *socket = server.nextPendingConnection()) {
        const qint64 challenge = QRandomGenerator::global()->bounded(1, 1000000);
        auto *client = new SimClient(socket, challenge, this);
        connect(client, &SimClient::lineReceived, this, &RelayServer::lineFrom);
        connect(client, &SimClient::gone, this, &RelayServer::forget);
        clients.append(client);
        transcript.note(QStringLiteral("connection from %1").arg(client->peer()));
        deliver(client, QString::number(challenge));
    }
}

void RelayServer::lineFrom(SimClient *client, const QByteArray &raw)
{
    if (client->isLoggedIn())
        message(client, raw);
    else
        login(client, QString::fromUtf8(raw));
}

void RelayServer::login(SimClient *client, const QString &line)
{
    // The key is never written out.
    const QString text = line.simplified();
    const QString name = text.section(QLatin1Char(' '), 0, 0);
    const QString key = text.section(QLatin1Char(' '), 1);

    if (name.isEmpty() || name.contains(QLatin1Char('.')) || name.contains(QLatin1Char('>')))
        refuse(client, name, QStringLiteral("not a valid name"));
    else if (name == SystemName || handlers.contains(name))
        refuse(client, name, QStringLiteral("name reserved by the server"));
    else if (clientNamed(name))
        refuse(client, name, QStringLiteral("name already logged in"));
    else if (!keys.isEmpty() && key != keys.keyFor(client->challenge()))
        refuse(client, name, QStringLiteral("wrong key"));
    else {
        transcript.note(QStringLiteral("login %1 from %2 accepted").arg(name, client->peer()));
        client->setLoggedIn(name);
        deliver(client, QStringLiteral("Welcome %1").arg(name));
    }
}

void RelayServer::refuse(SimClient *client, const QString &name, const QString &why)
{
    transcript.note(QStringLiteral("login %1 from %2 refused: %3").arg(name, client->peer(), why));
    deliver(client, QStringLiteral("Login refused: %1").arg(why));
    client->closeLater();
}

void RelayServer::message(SimClient *client, const QByteArray &raw)
{
    const QString line = QString::fromUtf8(raw);
    if (line.simplified().isEmpty())
        return;
    transcript.received(client->name(), line);

    TMsg msg;
    if (msg.parse(line) == TMsg::Unparsed) {
        transcript.dropped(client->name(), line, QStringLiteral("not a message"));
        return;
    }
    if (msg.fromName != client->name()) {
        transcript.dropped(client->name(), line, QStringLiteral("sender is not %1").arg(client->name()));
        return;
    }
    if (msg.toName == SystemName) {
        system(msg);
        return;
    }

    const auto found = handlers.constFind(msg.toName);
    if (found != handlers.constEnd()) {
        if (isSilenced(msg.to)) {
            transcript.dropped(client->name(), line, QStringLiteral("%1 silenced").arg(msg.to));
            return;
        }
        if (msg.kind != TMsg::Request) {
            transcript.dropped(client->name(), line, QStringLiteral("%1 takes requests only").arg(msg.toName));
            return;
        }
        for (LineHandler *handler : *found) {
            if (handler->handle(msg))
                return;
        }
        answerUnknown(msg, QStringLiteral("unknown command or address"));
        return;
    }

    SimClient *target = clientNamed(msg.toName);
    if (!target) {
        transcript.dropped(client->name(), line, QStringLiteral("no client %1").arg(msg.toName));
        answerUnknown(msg, QStringLiteral("no client %1").arg(msg.toName));
        return;
    }
    // Relayed as received: the server does not re-encode other clients' text.
    transcript.sent(target->label(), line);
    target->send(raw);
}

void RelayServer::system(const TMsg &msg)
{
    if (msg.cmd == QLatin1String("flgon")) {
        if (msg.paramList.isEmpty()) {
            reply(msg, QStringLiteral("@flgon Er: no name to follow"));
            return;
        }
        SimClient *client = clientNamed(msg.fromName);
        if (client)
            client->subscribe(msg.paramList.first());
        reply(msg, QStringLiteral("@flgon Ok: %1").arg(msg.paramList.first()));
        return;
    }
    if (msg.cmd.startsWith(QLatin1String("_Ev"))) {
        QString text = msg.cmd.mid(3);
        if (!msg.params.isEmpty())
            text += QLatin1Char(' ') + msg.params;
        if (text.isEmpty()) {
            transcript.dropped(msg.fromName, msg.from + QLatin1String(">System ") + msg.cmd,
                               QStringLiteral("empty event"));
            return;
        }
        // Subscribers must see an event, not a request they would answer.
        if (!text.startsWith(QLatin1Char('_')))
            text.prepend(QLatin1Char('_'));
        publish(msg.from, text);
        return;
    }
    answerUnknown(msg, QStringLiteral("unknown command"));
}

void RelayServer::answerUnknown(const TMsg &msg, const QString &why)
{
    // Only requests are answered: answering a reply or an event could make
    // two clients bounce errors at each other for ever.
    if (msg.kind != TMsg::Request)
        return;
    TMsg from = msg;
    if (!handlers.contains(msg.toName))
        from.to = SystemName;
    reply(from, QStringLiteral("@%1 Er: %2").arg(msg.cmd, why));
}

void RelayServer::deliver(SimClient *client, const QString &line)
{
    transcript.sent(client->label(), line);
    client->send(line.toUtf8());
}

void RelayServer::forget(SimClient *client)
{
    clients.removeAll(client);
    transcript.note(QStringLiteral("%1 disconnected").arg(client->label()));
    client->deleteLater();
}

SimClient *RelayServer::clientNamed(const QString &name) const
{
    for (SimClient *client : clients) {
        if (client->isLoggedIn() && client->isOpen() && client->name() == name)
            return client;
    }
    return nullptr;
}
