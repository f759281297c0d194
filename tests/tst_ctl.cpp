// kestrune-ctl against the loopback server, which answers as each row says.
#include "support/fakeserver.h"
#include "support/tempworkdir.h"

#include <QProcess>
#include <QTcpServer>
#include <QtTest>

namespace {

// Run in the background, so that the server keeps being served while it waits for its reply.
struct Ctl : QProcess
{
    explicit Ctl(const QStringList &args, const QByteArray &input = QByteArray())
    {
        start(qEnvironmentVariable("KESTRUNE_BIN_DIR") + "/kestrune-ctl", args);
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
    void run_data();
    void run();
};

void TestCtl::run_data()
{
    QTest::addColumn<QStringList>("args"); // "closed": the port of a server that is gone
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QString>("login");       // the login line; the challenge is 1, the keys "first second third"
    QTest::addColumn<QStringList>("requests"); // as sent, each answered by the next of...
    QTest::addColumn<QStringList>("answers");  // ...these, "%1" its sender; "-": none
    QTest::addColumn<QByteArray>("output");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message"); // part of the standard error
    const auto row = [](const char *tag, const QStringList &args, const QByteArray &input, const QStringList &requests,
                        const QStringList &answers, const QByteArray &output, int exitCode, const char *message = "",
                        const char *login = "kestrune-ctl ") {
        QTest::newRow(tag) << args << input << login << requests << answers << output << exitCode << message;
    };
    const QString stat = "@Stat V[N2 Line1,Open]  M[MFC1,10,9.5] ";
    const QStringList statAsked{"kestrune-ctl.1>Kestrune.Line1 Stat"};
    // Neither an event nor a reply to another address is the answer.
    const QStringList statAnswered{"Kestrune.Line1>%1 _ChangedValue 3\nKestrune.Line1>kestrune-ctl.9 @Stat old\n"
                                   "Kestrune.Line1>%1 " + stat};
    row("command and text, blanks kept", {"Kestrune.Line1", "Stat"}, {}, statAsked, statAnswered, stat.toUtf8() + '\n',
        0);
    row("silent device", {"--timeout", "0.3", "MfcB", "GetValue"}, {}, {"kestrune-ctl.1>MfcB GetValue"}, {"-"}, {}, 1,
        "kestrune-ctl: no reply to \"MfcB GetValue\" within 0.3 s");
    row("nothing listening", {"--port", "closed", "Dev1", "IsOn", "ch1"}, {}, {}, {}, {}, 2,
        "cannot connect to 127.0.0.1:");
    row("key from the key file", {"--key-file", "bus.key", "Dev1", "IsOn", "ch2"}, {}, {"kestrune-ctl.1>Dev1 IsOn ch2"},
        {"Dev1>%1 @IsOn ch2 0"}, "@IsOn ch2 0\n", 0, "", "kestrune-ctl second");
    row("refused", {"--key-file", "bus.key", "Dev1", "IsOn"}, {}, {}, {}, {}, 2,
        "refused: Login refused: wrong key", "kestrune-ctl second");
    row("input in order, blank and comment lines skipped", {}, "Dev1 ChOn ch1\n\n# a comment\n  Dev1   IsOn ch1\n",
        {"kestrune-ctl.1>Dev1 ChOn ch1", "kestrune-ctl.2>Dev1 IsOn ch1"}, {"Dev1>%1 @ChOn ch1 1", "Dev1>%1 @IsOn ch1 1"},
        "@ChOn ch1 1\n@IsOn ch1 1\n", 0);
    row("input: an unanswered request does not stop the rest", {"--timeout", "0.3"}, "MfcB GetValue\nDev1 IsOn ch2",
        {"kestrune-ctl.1>MfcB GetValue", "kestrune-ctl.2>Dev1 IsOn ch2"}, {"-", "Dev1>%1 @IsOn ch2 0"}, "@IsOn ch2 0\n",
        1);
}

void TestCtl::run()
{
    QFETCH(QStringList, args);
    QFETCH(QByteArray, input);
    QFETCH(QString, login);
    QFETCH(QStringList, requests);
    QFETCH(QStringList, answers);
    QFETCH(QByteArray, output);
    QFETCH(int, exitCode);
    QFETCH(QString, message);

    TempWorkDir dir;
    dir.write("bus.key", "first\nsecond\nthird\n");
    FakeServer server;
    server.setChallenge("1");
    if (message.contains("refused"))
        server.setGreeting("Login refused: wrong key\n", true);
    QTcpServer closed; // its port, once it is closed, takes no connection
    QVERIFY(closed.listen(QHostAddress::LocalHost, 0));
    args.replaceInStrings(QRegularExpression("^closed$"), QString::number(closed.serverPort()));
    closed.close();
    Ctl ctl(QStringList{"--host", "127.0.0.1", "--port", server.portText()} + args, input);
    for (int i = 0; i < answers.size(); ++i) {
        QVERIFY(server.waitForLines(i + 1));
        for (const QString &line : answers[i].split('\n', Qt::SkipEmptyParts))
            if (line != "-")
                server.send(line.arg(server.lines().at(i).section('>', 0, 0)));
    }
    QVERIFY(QTest::qWaitFor([&] { return ctl.state() == QProcess::NotRunning; }, 20000));
    const QByteArray err = ctl.readAllStandardError();
    QVERIFY2(QString::fromUtf8(err).contains(message), err.constData());
    QCOMPARE(ctl.readAllStandardOutput(), output);
    QCOMPARE(ctl.exitStatus(), QProcess::NormalExit);
    QCOMPARE(ctl.exitCode(), exitCode);
    QCOMPARE(server.lines(), requests);
    QCOMPARE(server.loginLine(), args.contains("closed") || args.contains("--port") ? QString() : login);
}

QTEST_GUILESS_MAIN(TestCtl)
#include "tst_ctl.moc"
