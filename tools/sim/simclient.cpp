#include "simclient.h"

#include <QTcpSocket>

namespace {

// A peer that never ends its line must not eat the server's memory; what it
// sent so far is taken as one line, as a short-lined reader would.
constexpr qint64 MaxLine = 65536;

} // namespace

SimClient::SimClient(QTcpSocket *socket, qint64 challenge, QObject *parent)
    : QObject(parent), socket(socket), challengeNumber(challenge)
{
    socket->setParent(this);
    connect(socket, &QTcpSocket::readyRead, this, &SimClient::readLines);
    connect(socket, &QTcpSocket::disconnected, this, [this] {
        if (closed)
            return;
        closed = true;
        emit gone(this);
    });
}

SimClient::~SimClient() = default;

QString SimClient::peer() const
{
    return QStringLiteral("%1:%2").arg(socket->peerAddress().toString()).arg(socket->peerPort());
}

void SimClient::subscribe(const QString &address)
{
    if (!subscriptions.contains(address))
        subscriptions.append(address);
}

bool SimClient::isSubscribedTo(const QString &sender) const
{
    const QString node = sender.section(QLatin1Char('.'), 0, 0);
    return subscriptions.contains(sender) || subscriptions.contains(node);
}

void SimClient::send(const QByteArray &line)
{
    if (isOpen())
        socket->write(line + '\n');
}

void SimClient::drop()
{
    if (closed)
        return;
    closed = true;
    socket->abort();
    emit gone(this);
}

void SimClient::closeLater()
{
    // Still open for the server's bookkeeping until the socket has let the
    // last line go: deleting it earlier would swallow that line.
    closing = true;
    socket->disconnectFromHost();
}

bool SimClient::isOpen() const
{
    return !closed && !closing;
}

void SimClient::readLines()
{
    while (!closed && !closing) {
        QByteArray line;
        if (socket->canReadLine())
            line = socket->readLine(MaxLine + 1);
        else if (socket->bytesAvailable() >= MaxLine)
            line = socket->read(MaxLine);
        else
            break;
        while (line.endsWith('\n') || line.endsWith('\r'))
            line.chop(1);
        emit lineReceived(this, line);
    }
}
