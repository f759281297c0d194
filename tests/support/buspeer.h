#pragma once

#include <QObject>
#include <QStringList>
#include <QTcpSocket>

// A raw client of the message server for tests: logs in by hand and keeps
// every line it receives, so tests can check exact lines.
class BusPeer : public QObject
{
    Q_OBJECT

public:
    explicit BusPeer(QObject *parent = nullptr);

    // Connects and waits for the challenge line.
    bool connectTo(quint16 port, int timeoutMs = 10000);
    qint64 challenge() const { return challengeNumber; }
    // Sends "name key" and waits for the server's answer, returned as is
    // (empty when none came).
    QString login(const QString &name, const QString &key = QString(), int timeoutMs = 10000);
    // connectTo and login with any key; true when welcomed.
    bool join(quint16 port, const QString &name);

    void send(const QString &line);
    // Lines received after the login answer, line ends removed.
    QStringList lines() const { return received; }
    bool waitForLine(const QString &line, int timeoutMs = 10000);
    // Sends a request to the server's own node and waits for its answer, so
    // that every line sent before it has been handled.
    bool sync(int timeoutMs = 10000);
    bool isConnected() const { return socket.state() == QAbstractSocket::ConnectedState; }
    bool waitForDisconnect(int timeoutMs = 10000);

private:
    void read();

    Q_DISABLE_COPY(BusPeer)
    QTcpSocket socket;
    QString name;
    qint64 challengeNumber = -1;
    QStringList early; // challenge and login answer
    QStringList received;
    int syncs = 0;
};
