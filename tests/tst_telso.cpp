#include "bus/telso.h"
#include "support/fakeserver.h"
#include "support/messagecapture.h"
#include "support/tempworkdir.h"

#include <QSignalSpy>
#include <QTcpSocket>
#include <QtTest>

namespace {

const QString overlongMessage = QStringLiteral("discarding a received line longer than 4000 bytes");

// Every message signal, recorded as "signal|from|cmd|params" in arrival order.
class Recorder : public QObject
{
public:
    explicit Recorder(Telso &telso)
    {
        const auto on = [this, &telso](void (Telso::*signal)(TMsg), const char *name) {
            connect(&telso, signal, this, [this, name](const TMsg &m) {
                seen << QStringLiteral("%1|%2|%3|%4").arg(QLatin1String(name), m.from, m.cmd, m.params);
            });
        };
        on(&Telso::AskSetNewGas, "AskSetNewGas");
        on(&Telso::AskSetPurge, "AskSetPurge");
        on(&Telso::AskGetMinFlow, "AskGetMinFlow");
        on(&Telso::AskGetNowGas, "AskGetNowGas");
        on(&Telso::askStat, "askStat");
        on(&Telso::AnsIsOn, "AnsIsOn");
        on(&Telso::AnsGetValue, "AnsGetValue");
        on(&Telso::AnsGetSettingValue, "AnsGetSettingValue");
        on(&Telso::EvChangedIsOn, "EvChangedIsOn");
        on(&Telso::EvChangedValue, "EvChangedValue");
        on(&Telso::EvChangedSettingValue, "EvChangedSettingValue");
    }

    // Sends a marker request after what the test sent and waits for it, so
    // everything before it has been handled; returns what came before it.
    QStringList settle(FakeServer &server)
    {
        server.send(QStringLiteral("Marker>Kestrune Stat"));
        const QString marker = QStringLiteral("askStat|Marker|Stat|");
        if (!QTest::qWaitFor([this, &marker] { return seen.contains(marker); }, 10000))
            return {QStringLiteral("marker never arrived")};
        QStringList before = seen.mid(0, seen.indexOf(marker));
        seen.clear();
        return before;
    }

    QStringList seen;
};

struct Session
{
    explicit Session(const QByteArray &keys = "k1\n") : keyPath(dir.write(QStringLiteral("Kestrune.key"), keys)) {}

    TempWorkDir dir;
    QString keyPath; // written before the client reads it
    FakeServer server;
    Telso telso{QString(), QString(), QStringLiteral("Kestrune"), QStringLiteral("Kestrune")};
};

} // namespace

class TestTelso : public QObject
{
    Q_OBJECT

private slots:
    void login_data();
    void login();
    void splitChallenge();
    void linesWithGreetingDiscarded();
    void reconnect();
    void dispatch_data();
    void dispatch();
    void send_data();
    void send();
    void sendBeforeLoginDropped();
    void sendAfterCloseDropped();
    void portNumber_data();
    void portNumber();
    void robustness_data();
    void robustness();
    void unterminatedFloodStaysBounded();
    void receiverDropsConnection();
};

void TestTelso::login_data()
{
    QTest::addColumn<QByteArray>("keyFile"); // null: no key file at all
    QTest::addColumn<QByteArray>("challenge");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QStringList>("messages");

    const QByteArray two("alpha\n\n  beta  \n");
    QTest::newRow("3 mod 2, blank line skipped")
        << two << QByteArray("3") << "Kestrune beta" << QStringList{"keys 2 3"};
    QTest::newRow("padded number") << two << QByteArray(" 4 \t") << "Kestrune alpha" << QStringList{"keys 2 4"};
    QTest::newRow("empty challenge") << two << QByteArray("") << "Kestrune alpha" << QStringList{"keys 2 0"};
    QTest::newRow("not a number") << two << QByteArray("12x") << "Kestrune alpha" << QStringList{"keys 2 0"};
    QTest::newRow("negative") << QByteArray("a\nb\nc\n") << QByteArray("-1") << "Kestrune c"
                              << QStringList{"keys 3 -1"};
    QTest::newRow("empty key file") << QByteArray("\n \n") << QByteArray("5") << "Kestrune "
                                    << QStringList{"keys 0 5", "no login keys, answering with an empty key"};
    QTest::newRow("no key file") << QByteArray() << QByteArray("5") << "Kestrune "
                                 << QStringList{"Cannot open [Kestrune.key]", "keys 0 5",
                                                "no login keys, answering with an empty key"};
}

void TestTelso::login()
{
    QFETCH(QByteArray, keyFile);
    QFETCH(QByteArray, challenge);
    QFETCH(QString, answer);
    QFETCH(QStringList, messages);

    MessageCapture capture;
    TempWorkDir dir;
    if (!keyFile.isNull())
        dir.write(QStringLiteral("Kestrune.key"), keyFile);
    FakeServer server;
    server.setChallenge(challenge);
    Telso telso(QString(), QString(), QStringLiteral("Kestrune"), QStringLiteral("Kestrune"));
    QVERIFY(loginTelso(telso, server));
    QCOMPARE(server.loginLine(), answer);
    QCOMPARE(telso.state, int(Telso::LoggedIn));
    QVERIFY(telso.isLoggedIn());
    QCOMPARE(capture.messages(), messages);
}

void TestTelso::splitChallenge()
{
    Session s("alpha\nbeta\n");
    s.server.setChallengeOnConnect(false);
    s.telso.ip = QStringLiteral("127.0.0.1");
    s.telso.port = s.server.portText();
    QVERIFY(s.telso.connectToServer());
    QVERIFY(s.server.waitForClient());
    QSignalSpy arrived(s.telso.socket, &QTcpSocket::readyRead);
    s.server.sendRaw("2");
    QVERIFY(arrived.wait(10000));
    s.server.sendRaw("3\n");
    QVERIFY(s.server.waitForLogin());
    QCOMPARE(s.server.loginLine(), QStringLiteral("Kestrune beta")); // 23, not 2
}

void TestTelso::linesWithGreetingDiscarded()
{
    Session s;
    s.server.setGreeting("Welcome\nA>Kestrune SetPurge 2\nA>Kestrune IsBusy\n");
    Recorder rec(s.telso);
    MessageCapture capture;
    QVERIFY(loginTelso(s.telso, s.server));
    s.server.send(QStringLiteral("B>Kestrune GetNowGas"));
    QCOMPARE(rec.settle(s.server), QStringList{"AskGetNowGas|B|GetNowGas|"});
    QCOMPARE(capture.count(QStringLiteral("Err unknown cmd IsBusy")), 0);
}

void TestTelso::reconnect()
{
    Session s;
    QSignalSpy ready(&s.telso, &Telso::ready);
    QVERIFY(loginTelso(s.telso, s.server));
    QVERIFY(!s.telso.connectToServer());
    s.telso.disConnect();
    QCOMPARE(s.telso.socket, nullptr);
    s.telso.disConnect();
    QVERIFY(s.telso.connectToServer());
    QCOMPARE(s.telso.state, int(Telso::AwaitingChallenge));
    QTRY_COMPARE_WITH_TIMEOUT(ready.count(), 2, 10000);
    QVERIFY(s.telso.sendCommand(QStringLiteral("V1"), QStringLiteral("Dev1"), QStringLiteral("IsOn 1")));
    QVERIFY(s.server.waitForLines(1));
    QCOMPARE(s.server.lines(), QStringList{"Kestrune.V1>Dev1 IsOn 1"});
}

void TestTelso::dispatch_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("emitted"); // empty: nothing
    QTest::addColumn<QString>("message"); // empty: no debug output

    const QString c = QStringLiteral("C.p>Kestrune.L1 ");
    QTest::newRow("SetNewGas") << c + "SetNewGas N2 10"
                               << "AskSetNewGas|C.p|SetNewGas|N2 10"
                               << "";
    QTest::newRow("SetGas") << c + "SetGas N2 10"
                            << "AskSetNewGas|C.p|SetGas|N2 10"
                            << "";
    QTest::newRow("SetPurge") << c + "SetPurge 3"
                              << "AskSetPurge|C.p|SetPurge|3"
                              << "";
    QTest::newRow("GetMinFlow") << c + "GetMinFlow"
                                << "AskGetMinFlow|C.p|GetMinFlow|"
                                << "";
    QTest::newRow("GetNowGas") << c + "GetNowGas"
                               << "AskGetNowGas|C.p|GetNowGas|"
                               << "";
    QTest::newRow("GetGas") << c + "GetGas"
                            << "AskGetNowGas|C.p|GetGas|"
                            << "";
    QTest::newRow("Stat") << c + "Stat"
                          << "askStat|C.p|Stat|"
                          << "";
    QTest::newRow("@IsOn") << "Dev1>Kestrune.V3 @IsOn 3 1"
                           << "AnsIsOn|Dev1|@IsOn|3 1"
                           << "";
    QTest::newRow("@GetValue") << "M.1>Kestrune.F1 @GetValue 5"
                               << "AnsGetValue|M.1|@GetValue|5"
                               << "";
    QTest::newRow("@GetSettingValue") << "M.1>Kestrune.F1 @GetSettingValue 5"
                                      << "AnsGetSettingValue|M.1|@GetSettingValue|5"
                                      << "";
    QTest::newRow("_ChangedIsOn") << "Dev1>Kestrune _ChangedIsOn 3 1"
                                  << "EvChangedIsOn|Dev1|_ChangedIsOn|3 1"
                                  << "";
    QTest::newRow("_ChangedValue") << "M.1>Kestrune _ChangedValue 12.5"
                                   << "EvChangedValue|M.1|_ChangedValue|12.5"
                                   << "";
    QTest::newRow("_ChangedSettingValue") << "M.1>Kestrune _ChangedSettingValue 7"
                                          << "EvChangedSettingValue|M.1|_ChangedSettingValue|7"
                                          << "";
    QTest::newRow("IsBusy") << c + "IsBusy"
                            << ""
                            << "Err unknown cmd IsBusy";
    QTest::newRow("wrong case") << c + "setgas N2 1"
                                << ""
                                << "Err unknown cmd setgas";
    QTest::newRow("reply word as request") << c + "IsOn 1"
                                           << ""
                                           << "Err unknown cmd IsOn";
    QTest::newRow("unknown reply") << "A>B @GetGas 1"
                                   << ""
                                   << "";
    QTest::newRow("unknown event") << "A>B _Foo"
                                   << ""
                                   << "";
    QTest::newRow("no blank") << "A>B"
                              << ""
                              << "";
    QTest::newRow("no greater-than") << "just words"
                                     << ""
                                     << "";
    QTest::newRow("empty line") << ""
                                << ""
                                << "";
}

void TestTelso::dispatch()
{
    QFETCH(QString, line);
    QFETCH(QString, emitted);
    QFETCH(QString, message);

    Session s;
    Recorder rec(s.telso);
    QVERIFY(loginTelso(s.telso, s.server));
    MessageCapture capture;
    s.server.send(line);
    QCOMPARE(rec.settle(s.server), emitted.isEmpty() ? QStringList() : QStringList{emitted});
    QCOMPARE(capture.messages(), message.isEmpty() ? QStringList() : QStringList{message});
    QVERIFY(s.server.lines().isEmpty()); // nothing is answered by the client itself
}

void TestTelso::send_data()
{
    QTest::addColumn<QString>("op");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("line");

    QTest::newRow("reply") << "reply" << QStringList{"Client.panel>Kestrune.Line1 GetNowGas", "@GetNowGas Ok: x"}
                           << "Kestrune.Line1>Client.panel @GetNowGas Ok: x";
    QTest::newRow("command") << "command" << QStringList{"V3", "Dev1", "IsOn", "ch3"} << "Kestrune.V3>Dev1 IsOn ch3";
    QTest::newRow("command, no params") << "command" << QStringList{"V3", "Dev1", "IsOn", ""}
                                        << "Kestrune.V3>Dev1 IsOn";
    QTest::newRow("command, empty sub") << "command" << QStringList{"", "System", "flgon Dev1", ""}
                                        << "Kestrune.>System flgon Dev1";
    QTest::newRow("event") << "event" << QStringList{"Line1", "_ChangedValue 12.5"}
                           << "Kestrune.Line1>System _Ev_ChangedValue 12.5";
    QTest::newRow("event, empty sub") << "event" << QStringList{"", "_ChangedValue 12.5"}
                                      << "Kestrune>System _Ev_ChangedValue 12.5";
    // The third argument, when given, is the event line as logged before encoding.
    QTest::newRow("outside Latin-1") << "event"
                                     << QStringList{"Grüße", "NewStat \u2713 \U0001F600",
                                                    "Kestrune.Grüße>System _EvNewStat \u2713 \U0001F600"}
                                     << "Kestrune.Grüße>System _EvNewStat ? ?";
    QTest::newRow("line breaks inside") << "command" << QStringList{"V3", "Dev1", "IsOn\nChOff", "1\r\n"}
                                        << "Kestrune.V3>Dev1 IsOn ChOff 1  ";
}

void TestTelso::send()
{
    QFETCH(QString, op);
    QFETCH(QStringList, args);
    QFETCH(QString, line);

    Session s;
    QVERIFY(loginTelso(s.telso, s.server));
    MessageCapture capture;
    if (op == QLatin1String("reply")) {
        TMsg msg;
        msg.parse(args.at(0));
        s.telso.reply(msg, args.at(1));
    } else if (op == QLatin1String("command")) {
        QVERIFY(s.telso.sendCommand(args.at(0), args.at(1), args.at(2), args.at(3)));
    } else {
        s.telso.sendEvent(args.at(0), args.at(1));
        QCOMPARE(capture.messages().size(), 1);
        QCOMPARE(capture.messages().at(0), QStringLiteral("sending event ") + args.value(2, line));
    }
    // The server side decodes Latin-1, so this compares the exact bytes.
    QVERIFY(s.server.waitForLines(1));
    QCOMPARE(s.server.lines(), QStringList{line});
    QCOMPARE(s.server.partialLine(), QByteArray());
}

void TestTelso::sendBeforeLoginDropped()
{
    Session s;
    MessageCapture capture;
    QVERIFY(!s.telso.sendCommand(QStringLiteral("V1"), QStringLiteral("Dev1"), QStringLiteral("IsOn 1")));

    s.server.setChallengeOnConnect(false);
    s.telso.ip = QStringLiteral("127.0.0.1");
    s.telso.port = s.server.portText();
    QVERIFY(s.telso.connectToServer());
    QVERIFY(s.server.waitForClient());
    QTRY_COMPARE_WITH_TIMEOUT(int(s.telso.socket->state()), int(QAbstractSocket::ConnectedState), 10000);
    QVERIFY(!s.telso.sendCommand(QStringLiteral("V1"), QStringLiteral("Dev1"), QStringLiteral("IsOn 1")));
    s.telso.sendEvent(QStringLiteral("V1"), QStringLiteral("NewStat Valve 1"));
    QCOMPARE(capture.count(QStringLiteral("not logged in to the server, line dropped: Kestrune.V1>Dev1 IsOn 1")), 2);
    QCOMPARE(capture.count(QStringLiteral("sending event Kestrune.V1>System _EvNewStat Valve 1")), 0);

    s.server.sendRaw("0\n");
    QVERIFY(s.server.waitForLogin());
    QCOMPARE(s.server.loginLine(), QStringLiteral("Kestrune k1"));
    QTRY_VERIFY_WITH_TIMEOUT(s.telso.isLoggedIn(), 10000);
    s.telso.sendEvent(QString(), QStringLiteral("Up"));
    QVERIFY(s.server.waitForLines(1));
    QCOMPARE(s.server.lines(), QStringList{"Kestrune>System _EvUp"});
}

void TestTelso::sendAfterCloseDropped()
{
    Session s;
    QSignalSpy closed(&s.telso, &Telso::disconnected);
    QVERIFY(loginTelso(s.telso, s.server));
    s.server.disconnectClient();
    QVERIFY(closed.wait(10000));
    QCOMPARE(s.telso.state, int(Telso::LoggedIn));
    MessageCapture capture;
    TMsg msg;
    msg.parse(QStringLiteral("A>Kestrune Stat"));
    s.telso.reply(msg, QStringLiteral("@Stat"));
    QCOMPARE(capture.messages(), QStringList{"not logged in to the server, line dropped: Kestrune>A @Stat"});
}

void TestTelso::portNumber_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("port");

    QTest::newRow("hex") << "0x17A9" << 6057;
    QTest::newRow("upper-case X") << "0X17A9" << 0;
    QTest::newRow("decimal") << "6057" << 6057;
    QTest::newRow("low 16 bits") << "65593" << 57;
    QTest::newRow("hex low 16 bits") << "0x10039" << 57;
    QTest::newRow("beyond 32 bits") << "4294967353" << 0;
    QTest::newRow("hex beyond int") << "0x80000000" << 0;
    QTest::newRow("empty") << "" << 0;
    QTest::newRow("prefix only") << "0x" << 0;
    QTest::newRow("not a number") << "port" << 0;
}

void TestTelso::portNumber()
{
    QFETCH(QString, text);
    QFETCH(int, port);
    QCOMPARE(int(Telso::portNumber(text)), port);
}

void TestTelso::robustness_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("emitted");
    QTest::addColumn<int>("overlong");

    const QByteArray stat("A>Kestrune Stat ");
    QTest::newRow("longest line taken") << stat + QByteArray(4000 - stat.size(), 'x') + '\n'
                                        << QStringList{"askStat|A|Stat|" + QString(4000 - stat.size(), 'x')} << 0;
    QTest::newRow("one byte too long") << stat + QByteArray(4001 - stat.size(), 'x') + '\n' << QStringList() << 1;
    QTest::newRow("crafted tail") << QByteArray(3999, 'x') + "Evil>Kestrune Stat\n" << QStringList() << 1;
    QTest::newRow("two overlong lines") << QByteArray(9000, 'x') + '\n' + QByteArray(4500, 'y') + '\n'
                                        << QStringList() << 2;
    QTest::newRow("binary garbage") << QByteArray("\x00\x01\xff\xfe>\x80\x00 Stat\x00\n", 14) << QStringList() << 0;
    QTest::newRow("invalid UTF-8") << QByteArray("\xc3(>Kestrune GetGas \xff\xfe\n")
                                   << QStringList{"AskGetNowGas|\uFFFD(|GetGas|\uFFFD\uFFFD"} << 0;
    QTest::newRow("carriage returns") << QByteArray("A>Kestrune SetPurge 2\r\n")
                                      << QStringList{"AskSetPurge|A|SetPurge|2"} << 0;
}

void TestTelso::robustness()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, emitted);
    QFETCH(int, overlong);

    Session s;
    Recorder rec(s.telso);
    QVERIFY(loginTelso(s.telso, s.server));
    MessageCapture capture;
    s.server.sendRaw(bytes);
    QCOMPARE(rec.settle(s.server), emitted);
    QCOMPARE(capture.count(overlongMessage), overlong);
    QCOMPARE(capture.count(QStringLiteral("Err unknown cmd Stat")), 0);
}

void TestTelso::unterminatedFloodStaysBounded()
{
    Session s;
    Recorder rec(s.telso);
    QVERIFY(loginTelso(s.telso, s.server));
    MessageCapture capture;
    QSignalSpy arrived(s.telso.socket, &QTcpSocket::readyRead);
    for (int i = 0; i < 8; ++i) {
        s.server.sendRaw(QByteArray(3000, 'z') + "Evil>Kestrune Stat ");
        QVERIFY(arrived.wait(10000));
        QVERIFY(s.telso.socket->bytesAvailable() == 0);
    }
    s.server.sendRaw("\n");
    QCOMPARE(rec.settle(s.server), QStringList());
    QCOMPARE(capture.count(overlongMessage), 1);
}

void TestTelso::receiverDropsConnection()
{
    Session s;
    Recorder rec(s.telso);
    QVERIFY(loginTelso(s.telso, s.server));
    connect(&s.telso, &Telso::askStat, &s.telso, &Telso::disConnect);
    s.server.sendRaw("A>Kestrune Stat\nB>Kestrune Stat\n");
    QTRY_COMPARE_WITH_TIMEOUT(s.telso.socket, nullptr, 10000);
    QCOMPARE(rec.seen, QStringList{"askStat|A|Stat|"});
}

QTEST_GUILESS_MAIN(TestTelso)
#include "tst_telso.moc"
