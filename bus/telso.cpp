#include "bus/telso.h"

#include "bus/commandtable.h"

#include <QDebug>
#include <QFile>
#include <QMetaMethod>
#include <QTcpSocket>
#include <QTextStream>
#include <QTimer>

#ifdef Q_OS_UNIX
#include <sys/socket.h>
#endif

namespace {

// Every send is exactly one line on the wire, whatever its parts hold.
QString oneLine(QString text)
{
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return text;
}

// One line on the wire from its parts: Latin-1 with one "?" for every
// character outside it, also for those that take two UTF-16 units (a pair
// split across two parts included), line breaks as blanks, and the line feed.
QByteArray encodeLine(std::initializer_list<QStringView> parts)
{
    qsizetype size = 1;
    for (const QStringView part : parts)
        size += part.size();
    QByteArray out(size, Qt::Uninitialized);
    char *to = out.data();
    bool pairStarted = false;
    for (const QStringView part : parts) {
        const char16_t *from = part.utf16();
        const char16_t *const end = from + part.size();
        if (pairStarted && from != end && QChar::isLowSurrogate(*from))
            ++from;
        pairStarted = false;
        while (from != end) {
            const char16_t u = *from++;
            if (Q_LIKELY(u < 0x100 && u != u'\n' && u != u'\r')) {
                *to++ = char(u);
            } else if (u < 0x100) {
                *to++ = ' ';
            } else {
                *to++ = '?';
                if (QChar::isHighSurrogate(u)) {
                    if (from == end)
                        pairStarted = true;
                    else if (QChar::isLowSurrogate(*from))
                        ++from;
                }
            }
        }
    }
    *to++ = '\n';
    out.truncate(to - out.constData());
    return out;
}

QString joined(std::initializer_list<QStringView> parts)
{
    QString text;
    for (const QStringView part : parts)
        text += part;
    return text;
}

// Reads one more piece at a time than the longest line, so that an overlong
// line shows as such.
constexpr qsizetype ReadChunk = 1 << 16;

} // namespace

Telso::Telso(const QString &ip, const QString &port, const QString &keyFile, const QString &name)
    : ip(ip), port(port), keyFile(keyFile), name(name)
{
    qRegisterMetaType<TMsg>();
    retryTimer = new QTimer(this);
    retryTimer->setSingleShot(true);
    connect(retryTimer, &QTimer::timeout, this, &Telso::connectToServer);
    loginTimer = new QTimer(this);
    loginTimer->setSingleShot(true);
    loginTimer->setInterval(LoginTimeout);
    connect(loginTimer, &QTimer::timeout, this, &Telso::giveUpLogin);
    holdTimer = new QTimer(this);
    holdTimer->setSingleShot(true);
    connect(holdTimer, &QTimer::timeout, this, [this] { nextDelay = firstDelay; });
    stallTimer = new QTimer(this);
    stallTimer->setSingleShot(true);
    connect(stallTimer, &QTimer::timeout, this, [this] {
        qDebug().noquote()
            << QStringLiteral("no answer from the server for %1 ms, connection dropped").arg(stallTimeout);
        dropConnection(DownStalled);
    });
    backlogTimer = new QTimer(this);
    backlogTimer->setSingleShot(true);
    connect(backlogTimer, &QTimer::timeout, this, [this] {
        if (!socket || socket->bytesToWrite() <= BacklogLimit)
            return;
        qDebug().noquote() << QStringLiteral("the server has not read for %1 ms, connection dropped").arg(stallTimeout);
        dropConnection(DownStalled);
    });
    waitTimer = new QTimer(this);
    waitTimer->setSingleShot(true);
    connect(waitTimer, &QTimer::timeout, this, &Telso::settleWaiters);
    loadKeys(keyFile);
}

void Telso::setLinkTimeout(int msec)
{
    stallTimeout = qMax(0, msec);
    if (stallTimeout == 0) {
        stallTimer->stop();
        backlogTimer->stop();
    }
}

bool Telso::expectsAnswer(const QString &command)
{
    const QString word = command.section(QLatin1Char(' '), 0, 0, QString::SectionSkipEmpty);
    return word == QLatin1String("IsOn") || word == QLatin1String("GetValue") ||
           word == QLatin1String("GetSettingValue");
}

bool Telso::isAnswering() const
{
    return !stallTimer->isActive() || awaitingSince.elapsed() <= qMin(AnswerGrace, stallTimeout);
}

void Telso::whenHeard(QObject *context, const std::function<void(bool)> &done)
{
    if (!isLoggedIn() || stallTimeout <= 0) {
        done(isLoggedIn());
        return;
    }
    waiters.append({context, done, reads, QDeadlineTimer(qMin(AnswerGrace, stallTimeout))});
    settleWaiters();
}

// Answers the waiters that can be answered: after a read, those that started
// waiting before it (heard); when the link is gone, all of them; otherwise
// those whose time is up (not heard).
void Telso::settleWaiters()
{
    if (waiters.isEmpty())
        return;
    const bool up = isLoggedIn();
    QList<Waiter> due;
    QDeadlineTimer next = QDeadlineTimer::Forever;
    for (qsizetype i = 0; i < waiters.size();) {
        const Waiter &w = waiters.at(i);
        if (!up || w.read < reads || w.deadline.hasExpired()) {
            due << waiters.takeAt(i);
            continue;
        }
        next = qMin(next, w.deadline);
        ++i;
    }
    if (waiters.isEmpty())
        waitTimer->stop();
    else
        waitTimer->start(qMax<qint64>(1, next.remainingTime()));
    for (const Waiter &w : std::as_const(due)) {
        if (w.context)
            w.done(up && w.read < reads);
    }
}

void Telso::setReconnectDelay(int msec)
{
    firstDelay = qBound(0, msec, MaxReconnectDelay);
    nextDelay = firstDelay;
    if (firstDelay == 0) {
        retryTimer->stop();
        loginTimer->stop();
    }
}

void Telso::loadKeys(const QString &keyFile)
{
    QFile file(keyFile + QStringLiteral(".key"));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        qDebug().noquote() << tr("Cannot open [%1.key]").arg(keyFile);
        keysRead = keys.isEmpty() ? KeyFileMissing : KeysRead;
        return;
    }
    QTextStream in(&file);
    in.setEncoding(QStringConverter::Utf8);
    QString line;
    while (in.readLineInto(&line)) {
        const QString key = line.simplified();
        if (!key.isEmpty())
            keys << key;
    }
    keysRead = keys.isEmpty() ? KeyFileEmpty : KeysRead;
}

QString Telso::keyFor(int n)
{
    const int count = int(keys.size());
    qDebug().noquote() << QStringLiteral("keys %1 %2").arg(count).arg(n);
    if (count == 0) {
        qDebug().noquote() << QStringLiteral("no login keys, answering with an empty key");
        return QString();
    }
    // A negative number still picks a key inside the list.
    return keys.at(((n % count) + count) % count);
}

quint16 Telso::portNumber(const QString &text)
{
    bool ok = false;
    int number = 0;
    if (text.startsWith(QLatin1String("0x")))
        number = text.mid(2).toInt(&ok, 16);
    else
        number = text.toInt(&ok, 10);
    return ok ? quint16(number) : 0;
}

bool Telso::connectToServer()
{
    if (socket)
        return false;
    retryTimer->stop();
    nextAttempt = QDateTime();
    socket = new QTcpSocket(this);
    state = AwaitingChallenge;
    pending.clear();
    pendingAt = 0;
    skipping = false;
    connect(socket, &QTcpSocket::readyRead, this, &Telso::receive, Qt::UniqueConnection);
    connect(socket, &QTcpSocket::disconnected, this, &Telso::disconnected, Qt::UniqueConnection);
    // While replies cannot be written, requests are left unread: both sides
    // stay bounded.
    socket->setReadBufferSize(BacklogLimit);
    // A failed attempt reports an error only, a lost link both an error and
    // the disconnection; each socket ends once.
    QTcpSocket *attempt = socket;
    connect(attempt, &QAbstractSocket::errorOccurred, this, [this, attempt] { connectionEnded(attempt); });
    connect(attempt, &QAbstractSocket::disconnected, this, [this, attempt] { connectionEnded(attempt); });
    connect(attempt, &QIODevice::bytesWritten, this, [this, attempt] {
        if (attempt != socket || socket->bytesToWrite() > BacklogLimit)
            return;
        backlogTimer->stop();
        if (readHeld) {
            readHeld = false;
            // Not from inside the socket's own write notification.
            QMetaObject::invokeMethod(
                this,
                [this, attempt] {
                    if (attempt == socket) {
                        takeLines();
                        settleWaiters();
                    }
                },
                Qt::QueuedConnection);
        }
    });
    link = LinkConnecting;
    if (firstDelay > 0)
        loginTimer->start();
    emit linkChanged();
    // The attempt may fail at once, inside this call: socket is not used after it.
    attempt->connectToHost(ip, portNumber(port), QIODevice::ReadWrite, QAbstractSocket::AnyIPProtocol);
    return true;
}

void Telso::disConnect()
{
    if (!socket)
        return;
    // Data still arriving on the abandoned connection must not be taken
    // for the next one's.
    disconnect(socket, &QTcpSocket::readyRead, this, &Telso::receive);
    QTcpSocket *old = socket;
    old->disconnectFromHost();
    // What was written before still goes out: the socket goes only once it
    // has closed (at the latest with this client).
    if (old->state() == QAbstractSocket::UnconnectedState)
        old->deleteLater();
    else
        connect(old, &QTcpSocket::disconnected, old, &QObject::deleteLater);
    socket = nullptr;
    pending.clear();
    pendingAt = 0;
    skipping = false;
    readHeld = false;
    retryTimer->stop();
    loginTimer->stop();
    holdTimer->stop();
    stallTimer->stop();
    backlogTimer->stop();
    nextAttempt = QDateTime();
    link = LinkIdle;
    settleWaiters();
    emit linkChanged();
}

void Telso::connectionEnded(QTcpSocket *ended, DownReason why)
{
    // Already handled, or left behind by disConnect().
    if (ended != socket)
        return;
    disconnect(ended, &QTcpSocket::readyRead, this, &Telso::receive);
    socket = nullptr;
    pending.clear();
    pendingAt = 0;
    skipping = false;
    readHeld = false;
    loginTimer->stop();
    // A login that did not hold leaves the waits growing.
    holdTimer->stop();
    stallTimer->stop();
    backlogTimer->stop();
    // Failed attempts after a stall still show the stall.
    if (why != DownLost || link == LinkUp || reason != DownStalled)
        reason = why;
    // Whatever the dead socket still holds to write goes with it: a command
    // must never reach the hardware on a later connection.
    ended->deleteLater();

    if (link == LinkUp)
        downSince = QDateTime::currentDateTime();
    link = LinkDown;
    if (firstDelay > 0) {
        const int delay = nextDelay;
        nextDelay = qMin(nextDelay * 2, MaxReconnectDelay);
        nextAttempt = QDateTime::currentDateTime().addMSecs(delay);
        retryTimer->start(delay);
    }
    settleWaiters();
    emit linkChanged();
}

void Telso::dropConnection(DownReason why)
{
    QTcpSocket *dropped = socket;
    if (!dropped)
        return;
    connectionEnded(dropped, why);
#ifdef Q_OS_UNIX
    // Reset, not closed: what the system still holds to send must not reach
    // the server when it wakes up.
    const qintptr fd = dropped->socketDescriptor();
    if (fd >= 0) {
        const linger reset{1, 0};
        ::setsockopt(int(fd), SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
    }
#endif
    dropped->abort();
}

void Telso::giveUpLogin()
{
    if (socket && state != LoggedIn)
        dropConnection(DownLost);
}

bool Telso::isLoggedIn() const
{
    return socket && state == LoggedIn && socket->state() == QAbstractSocket::ConnectedState;
}

static void reportOverlong()
{
    qDebug().noquote() << QStringLiteral("discarding a received line longer than %1 bytes").arg(Telso::MaxLineLength);
}

// Takes the next complete line from what has arrived; the line stays valid
// until the next call. Lines longer than MaxLineLength are dropped whole, so
// their tails never pass for messages of their own, and what is held back
// stays within one read and one line's worth of bytes.
bool Telso::nextLine(QByteArrayView &line)
{
    for (;;) {
        const qsizetype lf = pending.indexOf('\n', pendingAt);
        if (lf >= 0) {
            const qsizetype start = pendingAt;
            pendingAt = lf + 1;
            const bool overlong = skipping || lf - start > MaxLineLength;
            if (overlong && !skipping)
                reportOverlong();
            skipping = false;
            if (!overlong) {
                line = QByteArrayView(pending.constData() + start, lf - start);
                return true;
            }
            continue;
        }
        pending.remove(0, pendingAt);
        pendingAt = 0;
        if (pending.size() > MaxLineLength) {
            if (!skipping)
                reportOverlong();
            skipping = true;
            pending.clear();
        }
        if (!socket || socket->bytesAvailable() <= 0)
            return false;
        const qsizetype held = pending.size();
        pending.resize(held + ReadChunk);
        const qint64 got = socket->read(pending.data() + held, ReadChunk);
        pending.truncate(held + qMax<qint64>(0, got));
        if (got <= 0)
            return false;
    }
}

void Telso::receive()
{
    if (!socket)
        return;
    // Whatever arrives shows the server is alive.
    ++reads;
    stallTimer->stop();
    if (state == LoggedIn && holdTimer->isActive()) {
        holdTimer->stop();
        nextDelay = firstDelay;
    }
    takeLines();
    settleWaiters();
}

void Telso::takeLines()
{
    QByteArrayView line;
    switch (state) {
    case AwaitingChallenge:
        // Only a whole line is a challenge: a number split over two
        // segments must pick the same key as one that arrives at once.
        if (nextLine(line))
            answerChallenge(line);
        break;
    case AwaitingGreeting:
        finishLogin();
        break;
    default:
        // A receiver may drop the connection, or serve the socket again from
        // a nested event loop; each line is taken out before it is handled.
        while (socket && state == LoggedIn) {
            if (writeBlocked()) {
                readHeld = socket != nullptr;
                break;
            }
            if (!nextLine(line))
                break;
            dispatch(line);
        }
        break;
    }
}

// The server's answer to the login, with whatever came with it. Messages to
// this program are served once it is logged in; of the rest, a line that
// says "refused" refuses the login, anything else is skipped.
void Telso::finishLogin()
{
    QByteArrayView line;
    QList<QByteArray> forUs;
    QString refused;
    bool answered = false;
    while (nextLine(line)) {
        answered = true;
        const QString text = QString::fromUtf8(line.toByteArray().simplified());
        TMsg msg;
        if (msg.parse(text) != TMsg::Unparsed && msg.toName == name)
            forUs << line.toByteArray();
        else if (refused.isEmpty() && text.contains(QLatin1String("refused"), Qt::CaseInsensitive))
            refused = text;
    }
    if (!answered)
        return;
    if (!refused.isEmpty()) {
        refusedWith = refused;
        dropConnection(DownRefused);
        return;
    }
    state = LoggedIn;
    link = LinkUp;
    downSince = QDateTime();
    reason = DownLost;
    refusedWith.clear();
    loginTimer->stop();
    // The waits start over once the server has kept the login a while, or
    // has sent something more: a server that closes at once has refused it.
    holdTimer->start(LoginHold);
    emit ready();
    emit linkChanged();
    for (const QByteArray &request : std::as_const(forUs)) {
        if (!socket || state != LoggedIn)
            break;
        dispatch(request);
    }
}

void Telso::answerChallenge(QByteArrayView line)
{
    bool ok = false;
    int n = line.toByteArray().simplified().toInt(&ok, 10);
    if (!ok)
        n = 0;
    QString answer = tr("%1 %2\n").arg(name, keyFor(n));
    if (answer.endsWith(QLatin1Char('\n')))
        answer.chop(1);
    state = AwaitingGreeting;
    socket->write(encodeLine({answer}));
}

// Emits only where someone listens: a message signal copies the message.
#define EMIT_HEARD(signal, msg)                                                                                        \
    do {                                                                                                               \
        static const QMetaMethod method = QMetaMethod::fromSignal(&Telso::signal);                                     \
        if (isSignalConnected(method))                                                                                 \
            emit signal(msg);                                                                                          \
    } while (false)

void Telso::dispatch(QByteArrayView line)
{
    TMsg msg;
    msg.parse(QString::fromUtf8(line));
    switch (msg.kind) {
    case TMsg::Reply:
    case TMsg::Event:
        // The nodes that follow the device first: they were there before
        // anyone else could listen.
        routes.routeReport(msg);
        switch (msg.code) {
        case CmdAnsGetSettingValue:
            EMIT_HEARD(AnsGetSettingValue, msg);
            break;
        case CmdAnsGetValue:
            EMIT_HEARD(AnsGetValue, msg);
            break;
        case CmdAnsIsOn:
            EMIT_HEARD(AnsIsOn, msg);
            break;
        case CmdEvChangedSettingValue:
            EMIT_HEARD(EvChangedSettingValue, msg);
            break;
        case CmdEvChangedValue:
            EMIT_HEARD(EvChangedValue, msg);
            break;
        case CmdEvChangedIsOn:
            EMIT_HEARD(EvChangedIsOn, msg);
            break;
        default:
            break;
        }
        break;
    case TMsg::Request:
        // The main window listens from its start, before any node joins.
        switch (msg.code) {
        case CmdSetNewGas:
        case CmdSetGas:
            EMIT_HEARD(AskSetNewGas, msg);
            break;
        case CmdSetPurge:
            EMIT_HEARD(AskSetPurge, msg);
            break;
        case CmdGetMinFlow:
            EMIT_HEARD(AskGetMinFlow, msg);
            break;
        case CmdGetNowGas:
        case CmdGetGas:
            EMIT_HEARD(AskGetNowGas, msg);
            break;
        case CmdStat:
            EMIT_HEARD(askStat, msg);
            break;
        default:
            qDebug().noquote() << QStringLiteral("Err unknown cmd ") + msg.cmd;
            return;
        }
        routes.routeRequest(msg);
        break;
    default:
        break;
    }
}

#undef EMIT_HEARD

// Writes one line and its line feed in a single write. Before the login has
// finished the line would arrive in place of the login answer, and after the
// connection closed it is lost anyway, so it is dropped then.
bool Telso::writeLine(std::initializer_list<QStringView> parts)
{
    if (!isLoggedIn()) {
        qDebug().noquote() << QStringLiteral("not logged in to the server, line dropped: ") + oneLine(joined(parts));
        return false;
    }
    socket->write(encodeLine(parts));
    checkBacklog();
    return socket != nullptr;
}

// True while more than BacklogLimit waits to be written after handing the
// system what it takes now.
bool Telso::writeBlocked()
{
    if (!socket || socket->bytesToWrite() <= BacklogLimit)
        return false;
    // A failed write closes the socket inside this call.
    socket->flush();
    return !socket || socket->bytesToWrite() > BacklogLimit;
}

void Telso::checkBacklog()
{
    if (!writeBlocked() || !socket)
        return;
    if (socket->bytesToWrite() > MaxBacklog) {
        qDebug().noquote()
            << QStringLiteral("more than %1 bytes not taken by the server, connection dropped").arg(MaxBacklog);
        dropConnection(DownStalled);
    } else if (stallTimeout > 0 && !backlogTimer->isActive()) {
        backlogTimer->start(stallTimeout);
    }
}

void Telso::answerAwaited()
{
    if (stallTimeout <= 0 || !isLoggedIn() || stallTimer->isActive())
        return;
    awaitingSince.start();
    stallTimer->start(stallTimeout);
}

void Telso::reply(const TMsg &msg, const QString &text)
{
    writeLine({msg.to, u">", msg.from, u" ", text});
}

bool Telso::sendCommand(const QString &sub, const QString &to, const QString &cmd, const QString &params)
{
    const bool written = params.isEmpty() ? writeLine({name, u".", sub, u">", to, u" ", cmd})
                                          : writeLine({name, u".", sub, u">", to, u" ", cmd, u" ", params});
    if (!written)
        return false;
    if (expectsAnswer(cmd))
        answerAwaited();
    return true;
}

void Telso::sendEvent(const QString &sub, const QString &text)
{
    const QStringView dot = sub.isEmpty() ? QStringView() : QStringView(u".");
    if (isLoggedIn())
        qDebug().noquote() << QStringLiteral("sending event ") +
                                  oneLine(joined({name, dot, sub, u">System _Ev", text}));
    writeLine({name, dot, sub, u">System _Ev", text});
}
