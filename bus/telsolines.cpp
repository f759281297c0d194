// Lines in and out: whole lines taken from the socket and dispatched as
// signals, the login exchange, and the three ways of sending.
#include "bus/telso.h"

#include "bus/commandtable.h"
#include "bus/lineencoding.h"

#include <QDebug>
#include <QMetaMethod>
#include <QTcpSocket>
#include <QTimer>
#include <QVarLengthArray>

#include <cstring>

namespace {

// Every send is exactly one line on the wire, whatever its parts hold.
QString oneLine(QString text)
{
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return text;
}

QString joined(const QStringView *first, const QStringView *last)
{
    QString text;
    for (const QStringView *part = first; part != last; ++part)
        text += *part;
    return text;
}

QString joined(std::initializer_list<QStringView> parts)
{
    return joined(parts.begin(), parts.end());
}

// Reads one more piece at a time than the longest line, so that an overlong
// line shows as such.
constexpr qsizetype ReadChunk = 1 << 16;

} // namespace

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
        // The rest moves to the front of the same buffer: one allocation
        // serves every read (a fresh one for each was a tenth of the work at
        // full load).
        const qsizetype rest = pending.size() - pendingAt;
        if (pendingAt > 0 && rest > 0)
            std::memmove(pending.data(), pending.constData() + pendingAt, size_t(rest));
        pending.truncate(rest);
        pendingAt = 0;
        if (pending.size() > MaxLineLength) {
            if (!skipping)
                reportOverlong();
            skipping = true;
            pending.truncate(0);
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
    // The nodes' first questions leave before the panels are redrawn for
    // the link that came up: with a large plant that takes a while.
    if (socket)
        socket->flush();
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
    const QStringView part(answer);
    encodeLine(lineOut, &part, &part + 1);
    socket->write(lineOut);
}

// Emits only where someone listens: the signal is not free even unheard.
#define EMIT_HEARD(signal, msg)                                                                                        \
    do {                                                                                                               \
        static const QMetaMethod method = QMetaMethod::fromSignal(&Telso::signal);                                     \
        if (isSignalConnected(method))                                                                                 \
            emit signal(msg);                                                                                          \
    } while (false)

void Telso::dispatch(QByteArrayView line)
{
    TMsg msg;
    msg.parseUtf8(line);
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
    return writeLine(parts.begin(), parts.end());
}

bool Telso::writeLine(const QStringView *first, const QStringView *last)
{
    if (!isLoggedIn()) {
        qDebug().noquote() << QStringLiteral("not logged in to the server, line dropped: ") +
                                  oneLine(joined(first, last));
        return false;
    }
    encodeLine(lineOut, first, last);
    socket->write(lineOut.constData(), lineOut.size());
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

void Telso::reply(const TMsg &msg, std::initializer_list<QStringView> text)
{
    QVarLengthArray<QStringView, 12> parts{msg.to, u">", msg.from, u" "};
    parts.append(text.begin(), qsizetype(text.size()));
    writeLine(parts.cbegin(), parts.cend());
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
