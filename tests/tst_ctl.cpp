#include "support/buspeer.h"
#include "support/simprocess.h"
#include "support/tempworkdir.h"

#include <QProcess>
#include <QTcpServer>
#include <QtTest>

namespace {

const QByteArray plant = R"(VALVE 1 0 N2 1.0 Line1 Dev1 ch1 10 10 20 20
VALVE 2 1 Ar 1.42 Line1 Dev1 ch2 40 10 20 20
MFC 1 0 N2 1.0 MFC1 MfcA ch1 10 60 20 20
MFC 2 1 N2 1.0 MFC2 MfcB
CONNECT VALVE 1 MFC 1
)";

// kestrune-ctl run in the background, so that the test's own bus clients
// keep being served while it waits for its reply.
class Ctl
{
public:
    void start(const QStringList &args, const QByteArray &input = QByteArray())
    {
        process.start(SimProcess::binary(QStringLiteral("kestrune-ctl")), args);
        process.waitForStarted(10000);
        if (!input.isEmpty())
            process.write(input);
        process.closeWriteChannel();
    }
    bool finish(int timeoutMs = 20000)
    {
        const bool done = QTest::qWaitFor([this] { return process.state() == QProcess::NotRunning; }, timeoutMs);
        out += process.readAllStandardOutput();
        err += process.readAllStandardError();
        return done && process.exitStatus() == QProcess::NormalExit;
    }
    bool waitForOutput(const QByteArray &text, int timeoutMs = 10000)
    {
        return QTest::qWaitFor(
            [this, &text] {
                out += process.readAllStandardOutput();
                return out.contains(text);
            },
            timeoutMs);
    }
    ~Ctl()
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(5000);
        }
    }

    QProcess process;
    QByteArray out;
    QByteArray err;
};

QStringList portArgs(quint16 port)
{
    return {QStringLiteral("--port"), QString::number(port)};
}

} // namespace

class TestCtl : public QObject
{
    Q_OBJECT

private slots:
    void replyFromAProgram_data();
    void replyFromAProgram();
    void exitCodes_data();
    void exitCodes();
    void requestsFromInput_data();
    void requestsFromInput();
    void listen();
};

void TestCtl::replyFromAProgram_data()
{
    QTest::addColumn<QStringList>("extraArgs");
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QByteArray>("output");

    const QString stat = QStringLiteral("@Stat V[N2 Line1,Open]  M[MFC1,10,9.5] ");
    QTest::newRow("command and text, blanks kept")
        << QStringList{} << "kestrune-ctl.1" << stat << QByteArray("@Stat V[N2 Line1,Open]  M[MFC1,10,9.5] \n");
    QTest::newRow("whole line") << QStringList{"--full"} << "kestrune-ctl.1" << stat
                                << QByteArray(
                                       "Kestrune.Line1>kestrune-ctl.1 @Stat V[N2 Line1,Open]  M[MFC1,10,9.5] \n");
    QTest::newRow("own name") << QStringList{"--name", "op"} << "op.1" << stat
                              << QByteArray("@Stat V[N2 Line1,Open]  M[MFC1,10,9.5] \n");
    // Routing answers carry no command word: they are still the answer.
    QTest::newRow("answer without a command word")
        << QStringList{} << "kestrune-ctl.1" << "Ok: 50" << QByteArray("Ok: 50\n");
    QTest::newRow("error answer") << QStringList{} << "kestrune-ctl.1" << "Er:Less parameters"
                                  << QByteArray("Er:Less parameters\n");
}

void TestCtl::replyFromAProgram()
{
    QFETCH(QStringList, extraArgs);
    QFETCH(QString, from);
    QFETCH(QString, answer);
    QFETCH(QByteArray, output);

    SimProcess sim;
    QVERIFY2(sim.start({}), qPrintable(sim.errorText()));
    BusPeer panel;
    QVERIFY(panel.join(sim.port(), QStringLiteral("Kestrune")));

    Ctl ctl;
    ctl.start(portArgs(sim.port()) + extraArgs + QStringList{"Kestrune.Line1", "Stat"});
    QVERIFY2(panel.waitForLine(from + QStringLiteral(">Kestrune.Line1 Stat")), qPrintable(panel.lines().join('\n')));
    // Neither an event nor a reply to another address is the answer.
    panel.send(QStringLiteral("Kestrune.Line1>%1 _ChangedValue 3").arg(from));
    panel.send(QStringLiteral("Kestrune.Line1>%1.9 @Stat old").arg(from.section('.', 0, 0)));
    panel.send(QStringLiteral("Kestrune.Line1>%1 %2").arg(from, answer));
    QVERIFY(ctl.finish());
    QCOMPARE(ctl.out, output);
    QCOMPARE(ctl.process.exitCode(), 0);
}

void TestCtl::exitCodes_data()
{
    QTest::addColumn<QStringList>("simArgs"); // {"<none>"}: nothing listens on the port
    QTest::addColumn<QStringList>("ctlArgs");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("output");
    QTest::addColumn<QString>("message"); // part of the standard error

    const QStringList plantArgs{"-c", "plant.cfg"};
    QTest::newRow("device answers") << plantArgs << QStringList{"Dev1", "IsOn", "ch1"} << 0
                                    << QByteArray("@IsOn ch1 0\n") << "";
    QTest::newRow("negative parameter is no option")
        << plantArgs << QStringList{"MfcB", "SetValue", "-5"} << 0 << QByteArray("@SetValue -5\n") << "";
    QTest::newRow("error answer is still an answer")
        << plantArgs << QStringList{"Kestrune", "Stat"} << 0 << QByteArray("@Stat Er: no client Kestrune\n") << "";
    QTest::newRow("silent device") << QStringList{"-c", "plant.cfg", "--silence", "Dev1"}
                                   << QStringList{"--timeout", "0.3", "Dev1", "IsOn", "ch1"} << 1 << QByteArray()
                                   << "kestrune-ctl: no reply to \"Dev1 IsOn ch1\" within 0.3 s";
    QTest::newRow("nothing listening") << QStringList{"<none>"} << QStringList{"Dev1", "IsOn", "ch1"} << 2
                                       << QByteArray() << "kestrune-ctl: cannot connect to 127.0.0.1:";
    QTest::newRow("key from the key file")
        << QStringList{"-c", "plant.cfg", "--keys", "bus.key"}
        << QStringList{"--key-file", "bus.key", "Dev1", "IsOn", "ch2"} << 0 << QByteArray("@IsOn ch2 0\n") << "";
    QTest::newRow("wrong key") << QStringList{"--keys", "bus.key"} << QStringList{"--key", "nope", "Dev1", "IsOn"} << 2
                               << QByteArray() << "login to 127.0.0.1:";
    QTest::newRow("no key") << QStringList{"--keys", "bus.key"} << QStringList{"Dev1", "IsOn"} << 2 << QByteArray()
                            << "refused: Login refused: wrong key";
    QTest::newRow("missing key file") << plantArgs << QStringList{"--key-file", "none.key", "Dev1", "IsOn"} << 2
                                      << QByteArray() << "cannot read the keys none.key";
    QTest::newRow("destination only") << plantArgs << QStringList{"Dev1"} << 2 << QByteArray()
                                      << "a request needs a destination and a command";
    QTest::newRow("request and listen") << plantArgs << QStringList{"--listen", "Dev1", "Dev1", "IsOn"} << 2
                                        << QByteArray() << "--listen takes no request";
}

void TestCtl::exitCodes()
{
    QFETCH(QStringList, simArgs);
    QFETCH(QStringList, ctlArgs);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, output);
    QFETCH(QString, message);

    TempWorkDir dir;
    dir.write(QStringLiteral("plant.cfg"), plant);
    dir.write(QStringLiteral("bus.key"), "first\nsecond\nthird\n");

    SimProcess sim;
    quint16 port = 0;
    if (simArgs == QStringList{"<none>"}) {
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost, 0));
        port = closed.serverPort();
    } else {
        QVERIFY2(sim.start(simArgs), qPrintable(sim.errorText()));
        port = sim.port();
    }

    Ctl ctl;
    ctl.start(QStringList{"--host", "127.0.0.1"} + portArgs(port) + ctlArgs);
    QVERIFY(ctl.finish());
    QVERIFY2(QString::fromUtf8(ctl.err).contains(message), ctl.err.constData());
    QCOMPARE(ctl.out, output);
    QCOMPARE(ctl.process.exitCode(), exitCode);
}

void TestCtl::requestsFromInput_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("output");
    QTest::addColumn<int>("exitCode");

    QTest::newRow("in order, blank and comment lines skipped")
        << QByteArray("Dev1 ChOn ch1\n\n# a comment\n  Dev1   IsOn ch1\nMfcA.ch1 GetSettingValue")
        << QByteArray("@ChOn ch1 1\n@IsOn ch1 1\n@GetSettingValue 0\n") << 0;
    QTest::newRow("an unanswered request does not stop the rest")
        << QByteArray("MfcB GetValue\nDev1 IsOn ch2\n") << QByteArray("@IsOn ch2 0\n") << 1;
    QTest::newRow("a line that is no request does not stop the rest")
        << QByteArray("Dev1\nDev1 IsOn ch2\n") << QByteArray("@IsOn ch2 0\n") << 2;
    QTest::newRow("empty input") << QByteArray() << QByteArray() << 0;
}

void TestCtl::requestsFromInput()
{
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, output);
    QFETCH(int, exitCode);

    TempWorkDir dir;
    dir.write(QStringLiteral("plant.cfg"), plant);
    SimProcess sim;
    QVERIFY2(sim.start({"-c", "plant.cfg", "--silence", "MfcB"}), qPrintable(sim.errorText()));
    Ctl ctl;
    ctl.start(portArgs(sim.port()) + QStringList{"--timeout", "0.3"}, input);
    QVERIFY(ctl.finish());
    QCOMPARE(ctl.out, output);
    QCOMPARE(ctl.process.exitCode(), exitCode);
}

void TestCtl::listen()
{
    TempWorkDir dir;
    dir.write(QStringLiteral("plant.cfg"), plant);
    SimProcess sim;
    QVERIFY2(sim.start({"-c", "plant.cfg"}), qPrintable(sim.errorText()));

    Ctl ctl;
    ctl.start(portArgs(sim.port()) + QStringList{"--listen", "Dev1", "--listen", "MfcA.ch1"});
    QVERIFY(sim.waitForLine(QStringLiteral("-> kestrune-ctl: System>kestrune-ctl @flgon Ok: MfcA.ch1")));

    BusPeer tester;
    QVERIFY(tester.join(sim.port(), QStringLiteral("Tester")));
    tester.send(QStringLiteral("Tester>Sim SetChannel Dev1 ch1 1"));
    tester.send(QStringLiteral("Tester>MfcB SetValue 3"));
    tester.send(QStringLiteral("Tester>MfcA.ch1 SetValue 2"));
    QVERIFY2(ctl.waitForOutput("MfcA.ch1 _ChangedValue 2\n"), ctl.out.constData());
    QVERIFY(ctl.out.startsWith("Dev1 _ChangedIsOn ch1 1\nMfcA.ch1 _ChangedSettingValue 2\nMfcA.ch1 _ChangedValue "));
    QVERIFY(!ctl.out.contains("MfcB"));
    QVERIFY(!ctl.out.contains("flgon"));
    QCOMPARE(ctl.process.state(), QProcess::Running);
}

QTEST_GUILESS_MAIN(TestCtl)
#include "tst_ctl.moc"
