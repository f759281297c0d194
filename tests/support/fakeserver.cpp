#include "support/fakeserver.h"

#include "bus/telso.h"

#include <QSignalSpy>
#include <QTcpSocket>
#include <QTest>

FakeServer::FakeServer(QObject *parent) : QObject(parent)
{
    connect(&server, &QTcpServer::newConnection, this, &FakeServer::accept);
    if (!server.listen(QHostAddress::LocalHost, 0))
        qWarning("FakeServer: cannot listen: %s", qPrintable(server.errorString()));
}

void FakeServer::setReading(bool on)
{
    reading = on;
    if (client)
        client->setReadBufferSize(on ? 0 : 1);
    if (on) {
        accept();
        if (client)
            read();
    }
}

void FakeServer::accept()
{
    while (reading && server.hasPendingConnections()) {
        QTcpSocket *next = server.nextPendingConnection();
        // One client at a time: a newcomer replaces the previous one.
        if (client) {
            client->disconnect(this);
            client->abort();
            client->deleteLater();
        }
        client = next;
        buffer.clear();
        loginDone = false;
        login.clear();
        received.clear();
        connect(client, &QTcpSocket::readyRead, this, &FakeServer::read);
        if (challengeOnConnect)
            client->write(challenge + '\n');
    }
}

void FakeServer::read()
{
    if (!reading)
        return;
    buffer += client->readAll();
    // Lines are cut off the front once per read: removing each one in turn
    // would shift the rest of a large read again for every line.
    qsizetype start = 0;
    qsizetype lf;
    while ((lf = buffer.indexOf('\n', start)) >= 0) {
        const QString line = QString::fromLatin1(buffer.mid(start, lf - start));
        start = lf + 1;
        if (!loginDone) {
            login = line;
            if (!greeting.isEmpty())
                client->write(greeting);
            client->flush();
            loginDone = true;
            if (closeAfterGreeting)
                client->disconnectFromHost();
        } else {
            received << line;
        }
    }
    buffer.remove(0, start);
}

bool FakeServer::waitForClient(int timeoutMs)
{
    return QTest::qWaitFor([this] { return client != nullptr; }, timeoutMs);
}

bool FakeServer::waitForLogin(int timeoutMs)
{
    return QTest::qWaitFor([this] { return loginDone; }, timeoutMs);
}

bool FakeServer::waitForLines(int count, int timeoutMs)
{
    return QTest::qWaitFor([this, count] { return received.size() >= count; }, timeoutMs);
}

void FakeServer::sendRaw(const QByteArray &bytes)
{
    if (!client)
        return;
    client->write(bytes);
    client->flush();
}

void FakeServer::disconnectClient()
{
    if (client)
        client->disconnectFromHost();
}

bool loginTelso(Telso &telso, FakeServer &server, int timeoutMs)
{
    telso.ip = QStringLiteral("127.0.0.1");
    telso.port = server.portText();
    QSignalSpy ready(&telso, &Telso::ready);
    if (!telso.connectToServer())
        return false;
    return QTest::qWaitFor([&ready] { return ready.count() > 0; }, timeoutMs);
}
