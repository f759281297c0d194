#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QObject>
#include <QTcpServer>

#include <functional>

class QTcpSocket;

// The message server's side of one connection, cut to what a measurement
// needs: the login exchange (when asked for), writing lines, and counting
// the lines that come back, or handing each to onLine. Lines are found with
// one scan per read, so the server stays far faster than what it measures.
class BenchServer : public QObject
{
    Q_OBJECT

public:
    explicit BenchServer(bool withLogin, QObject *parent = nullptr);

    quint16 port() const { return server.serverPort(); }
    bool hasClient() const { return client != nullptr; }
    // Lines received after the login.
    qint64 lines() const { return lineCount; }
    void send(const QByteArray &bytes);

    std::function<void(QByteArrayView line)> onLine;

private:
    Q_DISABLE_COPY(BenchServer)

    void accept();
    void read();

    QTcpServer server;
    QTcpSocket *client = nullptr;
    bool loginPending;
    QByteArray partial;
    qint64 lineCount = 0;
};

// Runs the event loop until done() holds or timeoutMs pass; false on time-out.
// Wakes on every event rather than polling, so it costs nothing between.
bool waitUntil(const std::function<bool()> &done, int timeoutMs);
