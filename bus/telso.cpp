// The link to the message server: connecting, the login keys, watching
// that the server still answers, and connecting again after a loss.
#include "bus/telso.h"

#include <QDebug>
#include <QFile>
#include <QTcpSocket>
#include <QTextStream>
#include <QTimer>

#ifdef Q_OS_UNIX
#include <sys/socket.h>
#endif

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
