#include "ctlclient.h"

#include "bus/tmsg.h"

#include <cstdio>

namespace {

void printLine(FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

// The command and its text after the addressing, blanks kept as sent.
QString afterAddress(const QString &line)
{
    const qsizetype blank = line.indexOf(QLatin1Char(' '), line.indexOf(QLatin1Char('>')));
    return blank < 0 ? QString() : line.mid(blank + 1);
}

} // namespace

CtlClient::CtlClient(const Settings &settings, QObject *parent) : QObject(parent), settings(settings)
{
    timer.setSingleShot(true);
    connect(&timer, &QTimer::timeout, this, &CtlClient::timedOut);
    connect(&socket, &QTcpSocket::readyRead, this, &CtlClient::readLines);
    connect(&socket, &QTcpSocket::errorOccurred, this, &CtlClient::socketError);
    connect(&socket, &QTcpSocket::connected, this, [this] {
        if (state == Connecting)
            state = AwaitingChallenge;
    });
}

void CtlClient::runRequests(const std::function<bool(QString &)> &next)
{
    nextRequest = next;
    start();
}

void CtlClient::runListen(const QStringList &targets)
{
    listenTargets = targets;
    start();
}

void CtlClient::start()
{
    state = Connecting;
    timer.start(settings.timeoutMs);
    socket.connectToHost(settings.host, settings.port);
}

void CtlClient::readLines()
{
    while (state != Over && socket.canReadLine()) {
        QByteArray bytes = socket.readLine();
        while (bytes.endsWith('\n') || bytes.endsWith('\r'))
            bytes.chop(1);
        const QString line = QString::fromUtf8(bytes);

        switch (state) {
        case Connecting:
        case AwaitingChallenge: {
            const qint64 challenge = LoginKeys::challengeNumber(bytes);
            send(settings.name + QLatin1Char(' ') + settings.keys.keyFor(challenge));
            state = AwaitingGreeting;
            break;
        }
        case AwaitingGreeting:
            if (line.contains(QLatin1String("refused"), Qt::CaseInsensitive)) {
                fail(Failed, QStringLiteral("login to %1 refused: %2").arg(server(), line));
                return;
            }
            state = Ready;
            timer.stop();
            if (nextRequest) {
                sendNext();
            } else {
                for (const QString &target : std::as_const(listenTargets))
                    send(settings.name + QLatin1String(">System flgon ") + target);
            }
            break;
        case Ready:
            handle(line);
            break;
        case Over:
            break;
        }
    }
}

void CtlClient::handle(const QString &line)
{
    TMsg msg;
    msg.parse(line);
    if (!nextRequest) {
        if (msg.kind == TMsg::Event)
            printLine(stdout, settings.fullLines ? line : msg.from + QLatin1Char(' ') + afterAddress(line));
        return;
    }
    // Any line to the request's own address answers it ("Ok: 50" carries no
    // reply word), except an event. Late answers to a request that already
    // timed out carry an older address and are passed over.
    if (msg.kind == TMsg::Event || msg.kind == TMsg::Unparsed || pending.isEmpty() || msg.to != replyAddress)
        return;
    printLine(stdout, settings.fullLines ? line : afterAddress(line));
    timer.stop();
    pending.clear();
    sendNext();
}

void CtlClient::sendNext()
{
    QString text;
    while (nextRequest(text)) {
        const QString request = text.simplified();
        const QString destination = request.section(QLatin1Char(' '), 0, 0);
        const QString command = request.section(QLatin1Char(' '), 1);
        if (command.isEmpty() || destination.contains(QLatin1Char('>'))) {
            printLine(
                stderr,
                QStringLiteral("kestrune-ctl: not a request (DESTINATION COMMAND [PARAMETERS]): %1").arg(request));
            exitCode = qMax(exitCode, int(Failed));
            continue;
        }
        replyAddress = settings.name + QLatin1Char('.') + QString::number(++sequence);
        pending = request;
        send(replyAddress + QLatin1Char('>') + destination + QLatin1Char(' ') + command);
        timer.start(settings.timeoutMs);
        return;
    }
    finish(exitCode);
}

void CtlClient::timedOut()
{
    if (state != Ready) {
        fail(Failed, QStringLiteral("no login with %1 within %2 s").arg(server()).arg(settings.timeoutMs / 1000.0));
        return;
    }
    printLine(
        stderr,
        QStringLiteral("kestrune-ctl: no reply to \"%1\" within %2 s").arg(pending).arg(settings.timeoutMs / 1000.0));
    exitCode = qMax(exitCode, int(NoReply));
    pending.clear();
    sendNext();
}

void CtlClient::socketError()
{
    if (state == Over)
        return;
    if (state == Connecting)
        fail(Failed, QStringLiteral("cannot connect to %1: %2").arg(server(), socket.errorString()));
    else if (state != Ready)
        fail(Failed, QStringLiteral("%1 closed the connection during login: %2").arg(server(), socket.errorString()));
    else
        fail(Failed, QStringLiteral("connection to %1 lost: %2").arg(server(), socket.errorString()));
}

void CtlClient::fail(int code, const QString &text)
{
    printLine(stderr, QStringLiteral("kestrune-ctl: ") + text);
    finish(code);
}

void CtlClient::finish(int code)
{
    if (state == Over)
        return;
    state = Over;
    timer.stop();
    socket.disconnectFromHost();
    emit finished(code);
}

void CtlClient::send(const QString &line)
{
    socket.write(line.toUtf8() + '\n');
}

QString CtlClient::server() const
{
    return QStringLiteral("%1:%2").arg(settings.host).arg(settings.port);
}
