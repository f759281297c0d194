#pragma once

#include "common/loginkeys.h"

#include <QObject>
#include <QStringList>
#include <QTcpSocket>
#include <QTimer>

#include <functional>

// A short-lived bus client: logs in, then either sends requests one at a
// time and prints each reply, or follows events and prints them.
class CtlClient : public QObject
{
    Q_OBJECT

public:
    enum ExitCode { Done = 0, NoReply = 1, Failed = 2 };

    struct Settings
    {
        QString host;
        quint16 port = 6057;
        QString name;
        LoginKeys keys;
        int timeoutMs = 5000;
        bool fullLines = false;
    };

    explicit CtlClient(const Settings &settings, QObject *parent = nullptr);

    // Each call of next gives one request "DESTINATION COMMAND [PARAMS]";
    // false when there are no more.
    void runRequests(const std::function<bool(QString &)> &next);
    // Subscribes to the events of every target and prints them for ever.
    void runListen(const QStringList &targets);

signals:
    void finished(int exitCode);

private:
    enum State { Connecting, AwaitingChallenge, AwaitingGreeting, Ready, Over };

    void start();
    void readLines();
    void handle(const QString &line);
    void sendNext();
    void timedOut();
    void socketError();
    void fail(int code, const QString &text);
    void finish(int code);
    void send(const QString &line);
    QString server() const;

    Q_DISABLE_COPY(CtlClient)
    Settings settings;
    QTcpSocket socket;
    QTimer timer;
    State state = Connecting;
    std::function<bool(QString &)> nextRequest;
    QStringList listenTargets;
    QString pending;      // the request waiting for its reply
    QString replyAddress; // our own address for that request
    int sequence = 0;
    int exitCode = Done;
};
