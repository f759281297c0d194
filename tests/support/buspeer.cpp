#include "support/buspeer.h"

#include <QTest>

BusPeer::BusPeer(QObject *parent) : QObject(parent)
{
    connect(&socket, &QTcpSocket::readyRead, this, &BusPeer::read);
}

bool BusPeer::connectTo(quint16 port, int timeoutMs)
{
    socket.connectToHost(QStringLiteral("127.0.0.1"), port);
    if (!QTest::qWaitFor([this] { return !early.isEmpty(); }, timeoutMs))
        return false;
    bool ok = false;
    challengeNumber = early.first().toLongLong(&ok);
    return ok;
}

QString BusPeer::login(const QString &loginName, const QString &key, int timeoutMs)
{
    name = loginName;
    send(loginName + QLatin1Char(' ') + key);
    if (!QTest::qWaitFor([this] { return early.size() >= 2; }, timeoutMs))
        return QString();
    return early.at(1);
}

bool BusPeer::join(quint16 port, const QString &loginName)
{
    return connectTo(port) && login(loginName, QStringLiteral("any")).startsWith(QLatin1String("Welcome"));
}

void BusPeer::send(const QString &line)
{
    socket.write(line.toUtf8() + '\n');
}

bool BusPeer::waitForLine(const QString &line, int timeoutMs)
{
    return QTest::qWaitFor([this, &line] { return received.contains(line); }, timeoutMs);
}

bool BusPeer::sync(int timeoutMs)
{
    const QString sub = QStringLiteral("sync%1").arg(++syncs);
    send(QStringLiteral("%1.%2>System Sync").arg(name, sub));
    return waitForLine(QStringLiteral("System>%1.%2 @Sync Er: unknown command").arg(name, sub), timeoutMs);
}

bool BusPeer::waitForDisconnect(int timeoutMs)
{
    return QTest::qWaitFor([this] { return socket.state() == QAbstractSocket::UnconnectedState; }, timeoutMs);
}

void BusPeer::read()
{
    while (socket.canReadLine()) {
        QByteArray line = socket.readLine();
        while (line.endsWith('\n') || line.endsWith('\r'))
            line.chop(1);
        if (early.size() < 2)
            early << QString::fromUtf8(line);
        else
            received << QString::fromUtf8(line);
    }
}
