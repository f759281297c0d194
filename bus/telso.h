#pragma once

#include "bus/busrouter.h"
#include "bus/tmsg.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>

#include <functional>

class QTcpSocket;
class QTimer;

// The one connection to the message server: logs in with a key from the key
// file, turns every received line into a TMsg and a signal, and writes the
// program's replies, commands and events.
class Telso : public QObject
{
    Q_OBJECT

public:
    enum LoginState { AwaitingChallenge = 0, AwaitingGreeting = 1, LoggedIn = 2 };
    // The link as the operator sees it: never tried (or dropped on purpose),
    // an attempt under way, logged in, or down after a loss or failed attempt.
    enum LinkState { LinkIdle, LinkConnecting, LinkUp, LinkDown };
    // Why the link is down: lost (or never made), dropped because the
    // server stopped responding, or the server refused the login.
    enum DownReason { DownLost, DownStalled, DownRefused };
    enum KeyState { KeysRead, KeyFileMissing, KeyFileEmpty };

    Telso(const QString &ip, const QString &port, const QString &keyFile, const QString &name);

    void loadKeys(const QString &keyFile);
    QString keyFor(int n);
    bool connectToServer();

    // Who is handed each request and device report, besides the signals.
    BusRouter &router() { return routes; }

    void reply(const TMsg &msg, const QString &text);
    // The same with the answer in parts, written as one text.
    void reply(const TMsg &msg, std::initializer_list<QStringView> text);
    bool sendCommand(const QString &sub, const QString &to, const QString &cmd, const QString &params = QString());
    void sendEvent(const QString &sub, const QString &text);

    // True while lines can go out: logged in and still connected.
    bool isLoggedIn() const;
    // The port text as the socket takes it: "0x" followed by hexadecimal
    // digits or a decimal number, 0 when it is neither, low 16 bits only.
    static quint16 portNumber(const QString &text);
    // The longest line taken from the server, without its line feed.
    static constexpr int MaxLineLength = 4000;

    // Recovery: after a lost link or a failed attempt the next attempt comes
    // msec later, the wait doubling with every failure up to
    // MaxReconnectDelay and starting over once a login has held. 0 (the
    // default) leaves the link down.
    void setReconnectDelay(int msec);
    int reconnectDelay() const { return firstDelay; }
    static constexpr int MaxReconnectDelay = 30000;
    // With recovery on, an attempt that has not logged in by then is given up.
    static constexpr int LoginTimeout = 10000;

    // A login holds once the server has sent something after its answer, or
    // has kept the connection this long; one it closes before is refused.
    static constexpr int LoginHold = 5000;

    // Stall detection, 0 (the default) off: with an answer awaited and
    // nothing at all received for msec, or more than BacklogLimit bytes
    // unwritten for msec, the connection is dropped and recovery runs.
    void setLinkTimeout(int msec);
    int linkTimeout() const { return stallTimeout; }
    // Over BacklogLimit unwritten, no further lines are read until it
    // drains; over MaxBacklog the link counts as stalled at once.
    static constexpr qint64 BacklogLimit = 1 << 20;
    static constexpr qint64 MaxBacklog = 4 << 20;
    // How long an answer may take before the server counts as not
    // answering (at most the link timeout).
    static constexpr int AnswerGrace = 2000;
    // Commands whose answers are awaited: the requests for a device's state.
    static bool expectsAnswer(const QString &command);
    // False while an awaited answer is overdue and nothing has arrived since
    // it was asked for: a command now might reach the plant only when the
    // server wakes up.
    bool isAnswering() const;
    // Calls done(true) as soon as anything arrives from the server, or
    // done(false) when nothing has within the answer grace or the link goes
    // first; not at all once context is gone. Without stall detection it
    // answers at once: whether the link is up.
    void whenHeard(QObject *context, const std::function<void(bool)> &done);

    KeyState keyState() const { return keysRead; }
    DownReason downReason() const { return reason; }
    // The server's words when it refused the last login.
    QString refusal() const { return refusedWith; }

    LinkState linkState() const { return link; }
    // When the last login's link was lost; invalid while logged in, and as
    // long as no login has succeeded yet.
    QDateTime lostAt() const { return downSince; }
    // When the next attempt starts; invalid when none is planned.
    QDateTime nextAttemptAt() const { return nextAttempt; }

    QString ip;
    QString port;
    QString keyFile;
    QString name;
    QStringList keys;
    QTcpSocket *socket = nullptr;
    int state = AwaitingChallenge;

public slots:
    void receive();
    void disConnect();

signals:
    void ready();
    void disconnected();
    // linkState(), lostAt() or nextAttemptAt() changed.
    void linkChanged();
    void AskSetNewGas(const TMsg &msg);
    void AskSetPurge(const TMsg &msg);
    void AskGetMinFlow(const TMsg &msg);
    void AskGetNowGas(const TMsg &msg);
    void askStat(const TMsg &msg);
    void AnsIsOn(const TMsg &msg);
    void AnsGetValue(const TMsg &msg);
    void AnsGetSettingValue(const TMsg &msg);
    void EvChangedIsOn(const TMsg &msg);
    void EvChangedValue(const TMsg &msg);
    void EvChangedSettingValue(const TMsg &msg);

private:
    Q_DISABLE_COPY(Telso)

    bool nextLine(QByteArrayView &line);
    bool writeLine(std::initializer_list<QStringView> parts);
    bool writeLine(const QStringView *first, const QStringView *last);
    void answerChallenge(QByteArrayView line);
    void dispatch(QByteArrayView line);
    void finishLogin();
    void connectionEnded(QTcpSocket *ended, DownReason why = DownLost);
    void dropConnection(DownReason why);
    void giveUpLogin();
    void takeLines();
    void answerAwaited();
    bool writeBlocked();
    void checkBacklog();
    void settleWaiters();

    QByteArray pending; // received bytes; lines before pendingAt are taken
    qsizetype pendingAt = 0;
    bool skipping = false; // inside an overlong line, dropping up to its line feed
    QByteArray lineOut;    // the line being written, its allocation kept

    QTimer *retryTimer = nullptr;
    QTimer *loginTimer = nullptr;
    QTimer *holdTimer = nullptr;
    QTimer *stallTimer = nullptr;
    QTimer *backlogTimer = nullptr;
    QTimer *waitTimer = nullptr;
    QElapsedTimer awaitingSince;
    struct Waiter
    {
        QPointer<QObject> context;
        std::function<void(bool)> done;
        quint64 read; // reads seen when it started waiting
        QDeadlineTimer deadline;
    };
    quint64 reads = 0;     // readyRead notifications taken so far
    bool readHeld = false; // lines left unread until the backlog drains
    QList<Waiter> waiters;
    int firstDelay = 0;
    int nextDelay = 0;
    int stallTimeout = 0;
    KeyState keysRead = KeysRead;
    DownReason reason = DownLost;
    QString refusedWith;
    LinkState link = LinkIdle;
    QDateTime downSince;
    QDateTime nextAttempt;
    BusRouter routes;
};
