#pragma once

#include <QByteArray>
#include <QObject>
#include <QStringList>

class QTcpSocket;

// One connection to the server: its socket, the login state and the
// addresses whose events it has asked for. Cuts the incoming bytes into
// lines; the server decides what they mean.
class SimClient : public QObject
{
    Q_OBJECT

public:
    SimClient(QTcpSocket *socket, qint64 challenge, QObject *parent = nullptr);
    ~SimClient() override;

    qint64 challenge() const { return challengeNumber; }
    QString peer() const;
    QString name() const { return loginName; }
    bool isLoggedIn() const { return !loginName.isEmpty(); }
    void setLoggedIn(const QString &name) { loginName = name; }
    // Name for the transcript: the login name, or the peer before login.
    QString label() const { return isLoggedIn() ? loginName : peer(); }

    void subscribe(const QString &address);
    bool isSubscribedTo(const QString &sender) const;

    // Writes one line with its line feed.
    void send(const QByteArray &line);
    // Closes at once, as a broken network would.
    void drop();
    // Closes after what was written has gone out.
    void closeLater();
    bool isOpen() const;

signals:
    // One line, line end removed; the first is the login.
    void lineReceived(SimClient *client, const QByteArray &line);
    void gone(SimClient *client);

private:
    void readLines();

    Q_DISABLE_COPY(SimClient)
    QTcpSocket *socket;
    qint64 challengeNumber;
    QString loginName;
    QStringList subscriptions;
    bool closed = false;
    bool closing = false;
};
