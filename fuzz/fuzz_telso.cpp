// Bytes from the message server after the login, as the bus client takes
// them: a loopback server in this process writes each input, then a line of
// its own. That line must always come through, whatever came before it.
#include "bus/telso.h"
#include "fuzz/fuzzsupport.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTcpServer>
#include <QTcpSocket>

namespace {

struct Bench
{
    QTcpServer server;
    QTcpSocket *peer = nullptr;
    Telso *telso = nullptr;
    quint64 sent = 0;
    quint64 arrived = 0;
};

Bench *bench = nullptr;

// Runs the event loop until done() or the time is up (then stops the run:
// the client lost a line or hangs).
template<typename Done>
void serveUntil(Done done, const char *what)
{
    QDeadlineTimer deadline(10000);
    while (!done()) {
        if (deadline.hasExpired()) {
            std::fprintf(stderr, "timed out waiting for %s\n", what);
            std::abort();
        }
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
}

// Receivers answer as the panel's do, so the send path sees received text.
void answer(const TMsg &msg)
{
    bench->telso->reply(msg, QStringLiteral("Ok: ") + msg.params);
    bench->telso->sendEvent(msg.toSub, QStringLiteral("NewStat ") + msg.cmd);
}

void setUp()
{
    static int argc = 1;
    static char name[] = "fuzz_telso";
    static char *argv[] = {name, nullptr};
    new QCoreApplication(argc, argv); // lives as long as the run

    bench = new Bench;
    FUZZ_CHECK(bench->server.listen(QHostAddress::LocalHost, 0));
    bench->telso = new Telso(QStringLiteral("127.0.0.1"), QString::number(bench->server.serverPort()),
                             QStringLiteral("no-such-key-file"), QStringLiteral("Kestrune"));
    Telso *telso = bench->telso;

    QObject::connect(telso, &Telso::askStat, telso, [](const TMsg &msg) {
        if (msg.from == QLatin1String("FuzzEnd") && msg.params == QString::number(bench->sent))
            bench->arrived = bench->sent;
        else
            answer(msg);
    });
    QObject::connect(telso, &Telso::AskSetNewGas, telso, answer);
    QObject::connect(telso, &Telso::AskSetPurge, telso, answer);
    QObject::connect(telso, &Telso::AskGetMinFlow, telso, answer);
    QObject::connect(telso, &Telso::AskGetNowGas, telso, answer);
    QObject::connect(telso, &Telso::AnsIsOn, telso, answer);
    QObject::connect(telso, &Telso::EvChangedValue, telso, [telso](const TMsg &msg) {
        telso->sendCommand(msg.fromSub, msg.from, QStringLiteral("GetValue"), msg.params);
    });

    FUZZ_CHECK(telso->connectToServer());
    serveUntil([] { return bench->server.hasPendingConnections(); }, "the client");
    bench->peer = bench->server.nextPendingConnection();
    bench->peer->write("17\n");
    serveUntil([] { return bench->peer->canReadLine(); }, "the login line");
    bench->peer->readAll();
    // What the client writes from now on is read and dropped.
    QObject::connect(bench->peer, &QTcpSocket::readyRead, bench->peer, [] { bench->peer->readAll(); });
    bench->peer->write("Welcome\n");
    serveUntil([] { return bench->telso->isLoggedIn(); }, "the login");
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz::quietMessages();
    setUp();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    ++bench->sent;
    bench->peer->write(reinterpret_cast<const char *>(data), qint64(size));
    // The line feed ends whatever the input left open, overlong or not.
    bench->peer->write("\nFuzzEnd>Kestrune Stat " + QByteArray::number(bench->sent) + '\n');
    serveUntil([] { return bench->arrived == bench->sent; }, "the closing line");
    FUZZ_CHECK(bench->telso->isLoggedIn());
    return 0;
}
