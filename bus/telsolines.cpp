// Lines in and out: whole lines taken from the socket and dispatched as
// signals, the login exchange, and the three ways of sending.
#include "bus/telso.h"

#include "bus/commandtable.h"

#include <QDebug>
#include <QTcpSocket>
#include <QTimer>

namespace {

// Every send is exactly one line on the wire, whatever its parts hold.
QString oneLine(QString text)
{
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return text;
}

// Latin-1 with one "?" for every character outside it, also for those
// that take two UTF-16 units.
QByteArray latin1(const QString &text)
{
    QByteArray out;
    out.reserve(text.size() + 1);
    for (const char32_t c : text.toUcs4())
        out += c < 0x100 ? char(c) : '?';
    return out;
}

} // namespace

static void reportOverlong()
{
    qDebug().noquote() << QStringLiteral("discarding a received line longer than %1 bytes").arg(Telso::MaxLineLength);
}

// Takes the next complete line from what has arrived. Lines longer than
// MaxLineLength are dropped whole, so their tails never pass for messages of
// their own, and what is held back stays within two lines' worth of bytes.
bool Telso::nextLine(QByteArray &line)
{
    for (;;) {
        const qsizetype lf = pending.indexOf('\n');
        if (lf >= 0) {
            const bool overlong = skipping || lf > MaxLineLength;
            if (overlong && !skipping)
                reportOverlong();
            skipping = false;
            if (!overlong) {
                line = pending.left(lf);
                pending.remove(0, lf + 1);
                return true;
            }
            pending.remove(0, lf + 1);
            continue;
        }
        if (pending.size() > MaxLineLength) {
            if (!skipping)
                reportOverlong();
            skipping = true;
            pending.clear();
        }
        if (!socket || socket->bytesAvailable() <= 0)
            return false;
        pending += socket->read(MaxLineLength + 1);
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
    QByteArray line;
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
    QByteArray line;
    QList<QByteArray> forUs;
    QString refused;
    bool answered = false;
    while (nextLine(line)) {
        answered = true;
        const QString text = QString::fromUtf8(line.simplified());
        TMsg msg;
        if (msg.parse(text) != TMsg::Unparsed && msg.toName == name)
            forUs << line;
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

void Telso::answerChallenge(const QByteArray &line)
{
    bool ok = false;
    int n = line.simplified().toInt(&ok, 10);
    if (!ok)
        n = 0;
    QString answer = tr("%1 %2\n").arg(name, keyFor(n));
    if (answer.endsWith(QLatin1Char('\n')))
        answer.chop(1);
    state = AwaitingGreeting;
    socket->write(latin1(oneLine(answer)) + '\n');
}

void Telso::dispatch(const QByteArray &line)
{
    TMsg msg;
    msg.parse(QString::fromUtf8(line.simplified()));
    switch (msg.kind) {
    case TMsg::Reply:
        if (msg.code == CmdAnsGetSettingValue)
            emit AnsGetSettingValue(msg);
        else if (msg.code == CmdAnsGetValue)
            emit AnsGetValue(msg);
        else if (msg.code == CmdAnsIsOn)
            emit AnsIsOn(msg);
        break;
    case TMsg::Event:
        if (msg.code == CmdEvChangedSettingValue)
            emit EvChangedSettingValue(msg);
        else if (msg.code == CmdEvChangedValue)
            emit EvChangedValue(msg);
        else if (msg.code == CmdEvChangedIsOn)
            emit EvChangedIsOn(msg);
        break;
    case TMsg::Request:
        switch (msg.code) {
        case CmdSetNewGas:
        case CmdSetGas:
            emit AskSetNewGas(msg);
            break;
        case CmdSetPurge:
            emit AskSetPurge(msg);
            break;
        case CmdGetMinFlow:
            emit AskGetMinFlow(msg);
            break;
        case CmdGetNowGas:
        case CmdGetGas:
            emit AskGetNowGas(msg);
            break;
        case CmdStat:
            emit askStat(msg);
            break;
        default:
            qDebug().noquote() << QStringLiteral("Err unknown cmd ") + msg.cmd;
            break;
        }
        break;
    default:
        break;
    }
}

// Writes one line and its line feed in a single write. Before the login has
// finished the line would arrive in place of the login answer, and after the
// connection closed it is lost anyway, so it is dropped then.
bool Telso::writeLine(const QString &line)
{
    if (!isLoggedIn()) {
        qDebug().noquote() << QStringLiteral("not logged in to the server, line dropped: ") + line;
        return false;
    }
    socket->write(latin1(line) + '\n');
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
    writeLine(oneLine(msg.to + QLatin1Char('>') + msg.from + QLatin1Char(' ') + text));
}

bool Telso::sendCommand(const QString &sub, const QString &to, const QString &cmd, const QString &params)
{
    QString line = name + QLatin1Char('.') + sub + QLatin1Char('>') + to + QLatin1Char(' ') + cmd;
    if (!params.isEmpty())
        line += QLatin1Char(' ') + params;
    if (!writeLine(oneLine(line)))
        return false;
    if (expectsAnswer(cmd))
        answerAwaited();
    return true;
}

void Telso::sendEvent(const QString &sub, const QString &text)
{
    const QString sender = sub.isEmpty() ? name : name + QLatin1Char('.') + sub;
    const QString line = oneLine(sender + QStringLiteral(">System _Ev") + text);
    if (isLoggedIn())
        qDebug().noquote() << QStringLiteral("sending event ") + line;
    writeLine(line);
}
