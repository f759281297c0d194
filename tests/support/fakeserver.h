#pragma once

#include <QByteArray>
#include <QObject>
#include <QStringList>
#include <QTcpServer>

class QTcpSocket;
class Telso;

// Plays the message server on loopback for one client at a time: sends the
// challenge on connect, takes the first line as the login and answers it with
// the greeting, then records every further line the client writes and lets
// the test push lines to it.
class FakeServer : public QObject
{
    Q_OBJECT

public:
    explicit FakeServer(QObject *parent = nullptr);

    quint16 port() const { return server.serverPort(); }
    QString portText() const { return QString::number(port()); }

    // Sent with a line feed when a client connects; default "0".
    void setChallenge(const QByteArray &line) { challenge = line; }
    // Off: nothing is sent on connect, the test sends the challenge itself.
    void setChallengeOnConnect(bool on) { challengeOnConnect = on; }
    // Sent as given right after the login line; default "Welcome\n". With
    // thenClose the server closes the connection right after it.
    void setGreeting(const QByteArray &lines, bool thenClose = false)
    {
        greeting = lines;
        closeAfterGreeting = thenClose;
    }
    // Off: as a stopped server, takes no new client and reads nothing more,
    // so what the client writes piles up; on again, it catches up.
    void setReading(bool on);

    bool waitForClient(int timeoutMs = 10000);
    bool waitForLogin(int timeoutMs = 10000);
    QString loginLine() const { return login; }

    // Lines after the login, decoded as Latin-1, without their line feed.
    QStringList lines() const { return received; }
    bool waitForLines(int count, int timeoutMs = 10000);
    void clearLines() { received.clear(); }

    void send(const QString &line) { sendRaw(line.toUtf8() + '\n'); }
    void sendRaw(const QByteArray &bytes);
    void disconnectClient();

private:
    Q_DISABLE_COPY(FakeServer)

    void accept();
    void read();

    QTcpServer server;
    QTcpSocket *client = nullptr;
    QByteArray challenge = "0";
    bool challengeOnConnect = true;
    QByteArray greeting = "Welcome\n";
    bool closeAfterGreeting = false;
    bool reading = true;
    QByteArray buffer;
    bool loginDone = false;
    QString login;
    QStringList received;
};

// Points telso at server, connects and waits until it is logged in (ready()).
bool loginTelso(Telso &telso, FakeServer &server, int timeoutMs = 10000);
