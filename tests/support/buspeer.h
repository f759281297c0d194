#pragma once

#include <QObject>
#include <QStringList>
#include <QTcpSocket>

// A raw client of the message server for tests: logs in with any key and
// keeps every line it receives after the login answer, line ends removed.
class BusPeer : public QObject
{
    Q_OBJECT

public:
    explicit BusPeer(QObject *parent = nullptr);

    // Connects, waits for the challenge, logs in as name; true when welcomed.
    bool join(quint16 port, const QString &name, int timeoutMs = 10000);
    void send(const QString &line);
    QStringList lines() const { return received; }

private:
    Q_DISABLE_COPY(BusPeer)
    QTcpSocket socket;
    QStringList early; // challenge and login answer
    QStringList received;
};
