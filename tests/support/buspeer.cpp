#include "support/buspeer.h"

#include <QTest>

BusPeer::BusPeer(QObject *parent) : QObject(parent)
{
    connect(&socket, &QTcpSocket::readyRead, this, [this] {
        while (socket.canReadLine())
            (early.size() < 2 ? early : received) << QString::fromUtf8(socket.readLine()).trimmed();
    });
}

bool BusPeer::join(quint16 port, const QString &name, int timeoutMs)
{
    socket.connectToHost(QStringLiteral("127.0.0.1"), port);
    if (!QTest::qWaitFor([this] { return !early.isEmpty(); }, timeoutMs))
        return false;
    send(name + QStringLiteral(" any"));
    return QTest::qWaitFor([this] { return early.size() >= 2; }, timeoutMs) &&
           early.at(1).startsWith(QLatin1String("Welcome"));
}

void BusPeer::send(const QString &line)
{
    socket.write(line.toUtf8() + '\n');
}
