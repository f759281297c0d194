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
MFC 3 2 N2 1.0 MFC3 MfcC
)";

// kestrune-ctl run in the background, so that the test's own bus clients
// keep being served while it waits for its reply.
struct Ctl : QProcess
{
    explicit Ctl(const QStringList &args, const QByteArray &input = QByteArray())
    {
        start(SimProcess::binary(QStringLiteral("kestrune-ctl")), args);
        waitForStarted(10000);
        write(input);
        closeWriteChannel();
    }
    ~Ctl() override
    {
        kill();
        waitForFinished(5000);
    }
};

} // namespace

class TestCtl : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void run_data();
    void run();
    void listen();

private:
    TempWorkDir dir;
    SimProcess sim;   // MfcB silenced
    SimProcess keyed; // takes only the key the challenge selects from bus.key
    BusPeer panel;    // "Kestrune" on sim, answers as the test says
};

void TestCtl::initTestCase()
{
    dir.write(QStringLiteral("plant.cfg"), plant);
    dir.write(QStringLiteral("bus.key"), "first\nsecond\nthird\n");
    QVERIFY2(sim.start({"-c", "plant.cfg", "--silence", "MfcB"}), qPrintable(sim.errorText()));
    QVERIFY2(keyed.start({"-c", "plant.cfg", "--keys", "bus.key"}), qPrintable(keyed.errorText()));
    QVERIFY(panel.join(sim.port(), QStringLiteral("Kestrune")));
}

void TestCtl::run_data()
{
    QTest::addColumn<QString>("server"); // "sim", "keyed" or "none" (nothing listens)
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QString>("answer"); // the panel's answer to the request, after an event and a stray reply
    QTest::addColumn<QByteArray>("output");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message"); // part of the standard error
    const auto row = [](const char *tag, const char *server, const QStringList &args, const QByteArray &input,
                        const char *answer, const QByteArray &output, int exitCode, const char *message = "") {
        QTest::newRow(tag) << server << args << input << answer << output << exitCode << message;
    };
    const QString stat = QStringLiteral("@Stat V[N2 Line1,Open]  M[MFC1,10,9.5] ");
    const QStringList toPanel{"Kestrune.Line1", "Stat"};
    row("command and text, blanks kept", "sim", toPanel, {}, qPrintable(stat), stat.toUtf8() + '\n', 0);
    row("whole line", "sim", QStringList{"--full"} + toPanel, {}, qPrintable(stat),
        "Kestrune.Line1>kestrune-ctl.1 " + stat.toUtf8() + '\n', 0);
    row("negative parameter is no option", "sim", {"MfcC", "SetValue", "-5"}, {}, "", "@SetValue -5\n", 0);
    row("error answer is still an answer", "sim", {"Nobody", "Stat"}, {}, "", "@Stat Er: no client Nobody\n", 0);
    row("a switch at the hardware", "sim", {"Sim", "SetChannel", "Dev1", "ch1", "0"}, {}, "",
        "@SetChannel Ok: Dev1 ch1 0\n", 0);
    row("silent device", "sim", {"--timeout", "0.3", "MfcB", "GetValue"}, {}, "", {}, 1,
        "kestrune-ctl: no reply to \"MfcB GetValue\" within 0.3 s");
    row("nothing listening", "none", {"Dev1", "IsOn", "ch1"}, {}, "", {}, 2, "cannot connect to 127.0.0.1:");
    row("key from the key file", "keyed", {"--key-file", "bus.key", "Dev1", "IsOn", "ch2"}, {}, "", "@IsOn ch2 0\n", 0);
    row("no key", "keyed", {"Dev1", "IsOn"}, {}, "", {}, 2, "refused: Login refused: wrong key");
    row("input in order, blank and comment lines skipped", "sim", {},
        "Dev1 ChOn ch1\n\n# a comment\n  Dev1   IsOn ch1\nDev1 ChOff ch1\nMfcA.ch1 GetSettingValue", "",
        "@ChOn ch1 1\n@IsOn ch1 1\n@ChOff ch1 0\n@GetSettingValue 0\n", 0);
    row("input: an unanswered request does not stop the rest", "sim", {"--timeout", "0.3"},
        "MfcB GetValue\nDev1 IsOn ch2\n", "", "@IsOn ch2 0\n", 1);
    row("input: a line that is no request does not stop the rest", "sim", {}, "Dev1\nDev1 IsOn ch2\n", "",
        "@IsOn ch2 0\n", 2);
    row("empty input", "sim", {}, {}, "", {}, 0);
}

void TestCtl::run()
{
    QFETCH(QString, server);
    QFETCH(QStringList, args);
    QFETCH(QByteArray, input);
    QFETCH(QString, answer);
    QFETCH(QByteArray, output);
    QFETCH(int, exitCode);
    QFETCH(QString, message);

    QTcpServer closed; // its port, once it is closed, takes no connection
    QVERIFY(closed.listen(QHostAddress::LocalHost, 0));
    const quint16 port = server == "sim" ? sim.port() : server == "keyed" ? keyed.port() : closed.serverPort();
    closed.close();
    const qsizetype seen = panel.lines().size();
    Ctl ctl(QStringList{"--host", "127.0.0.1", "--port", QString::number(port)} + args, input);
    if (!answer.isEmpty()) {
        const QString from = "kestrune-ctl.1";
        QVERIFY(
            QTest::qWaitFor([&] { return panel.lines().mid(seen).contains(from + ">Kestrune.Line1 Stat"); }, 10000));
        // Neither an event nor a reply to another address is the answer.
        panel.send(QStringLiteral("Kestrune.Line1>%1 _ChangedValue 3").arg(from));
        panel.send(QStringLiteral("Kestrune.Line1>%1.9 @Stat old").arg(from.section('.', 0, 0)));
        panel.send(QStringLiteral("Kestrune.Line1>%1 %2").arg(from, answer));
    }
    QVERIFY(QTest::qWaitFor([&] { return ctl.state() == QProcess::NotRunning; }, 20000));
    const QByteArray err = ctl.readAllStandardError();
    QVERIFY2(QString::fromUtf8(err).contains(message), err.constData());
    QCOMPARE(ctl.readAllStandardOutput(), output);
    QCOMPARE(ctl.exitStatus(), QProcess::NormalExit);
    QCOMPARE(ctl.exitCode(), exitCode);
}

void TestCtl::listen()
{
    Ctl ctl({"--port", QString::number(sim.port()), "--listen", "Dev1", "--listen", "MfcA.ch1"});
    QVERIFY(sim.waitForLine(QStringLiteral("-> kestrune-ctl: System>kestrune-ctl @flgon Ok: MfcA.ch1")));
    panel.send(QStringLiteral("Kestrune>Sim SetChannel Dev1 ch1 1"));
    panel.send(QStringLiteral("Kestrune>MfcC SetValue 3"));
    panel.send(QStringLiteral("Kestrune>MfcA.ch1 SetValue 2"));
    QByteArray out;
    QVERIFY2(QTest::qWaitFor(
                 [&] { return (out += ctl.readAllStandardOutput()).contains("MfcA.ch1 _ChangedValue 2\n"); }, 10000),
             out.constData());
    QVERIFY(out.startsWith("Dev1 _ChangedIsOn ch1 1\nMfcA.ch1 _ChangedSettingValue 2\nMfcA.ch1 _ChangedValue "));
    QVERIFY(!out.contains("MfcC") && !out.contains("flgon"));
    QCOMPARE(ctl.state(), QProcess::Running);
}

QTEST_GUILESS_MAIN(TestCtl)
#include "tst_ctl.moc"
