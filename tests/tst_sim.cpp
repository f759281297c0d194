#include "support/buspeer.h"
#include "support/simprocess.h"
#include "support/tempworkdir.h"

#include <QRegularExpression>
#include <QtTest>

namespace {

// Two sources; MFC1 is fed through valve 1 or 2, MFC2 through a normally-on
// valve; MFC3 feeds MFC4; MFC6 hangs below a loop with no source; MfcW is
// a source of its own and always has gas.
const QByteArray plant = R"(NAME_ON_TELSO Kestrune
VALVE 1 0 N2 1.0 Line1 Dev1 ch1 10 10 20 20
VALVE 2 1 Ar 1.42 Line1 Dev1 ch2 40 10 20 20
VALVE 3 2 N2 1.0 Purge Dev2 ch1 70 10 20 20 n_on
VALVE 4 3 N2 1.0 Loop Dev3 ch1 100 10 20 20
MFC 1 0 N2 1.0 MFC1 MfcA ch1 10 60 20 20 100 0.01
MFC 2 1 N2 1.0 MFC2 MfcB "" 40 60 20 20
MFC 3 2 N2 1.0 MFC3 MfcC
MFC 4 3 N2 1.0 MFC4 MfcD
MFC 5 4 N2 1.0 Witness MfcW
MFC 6 5 N2 1.0 MFC6 MfcE
NODE 1 N2 1.0 N2src 10 100 20 20
NODE 2 Ar 1.42 Arsrc 40 100 20 20
NODE 3 N2 1.0 Loop 100 100 20 20
CONNECT NODE 1 VALVE 1
CONNECT NODE 2 VALVE 2
CONNECT VALVE 1 MFC 1
CONNECT VALVE 2 MFC 1
CONNECT NODE 1 VALVE 3
CONNECT VALVE 3 MFC 2
CONNECT MFC 3 MFC 4
CONNECT NODE 3 VALVE 4
CONNECT VALVE 4 NODE 3
CONNECT NODE 3 MFC 6
CONNECT Valve 9 MFC 6   # names no node: skipped
)";

#define EXPECT_LINE(peer, line)                                                                                        \
    QVERIFY2((peer).waitForLine(line),                                                                                 \
             qPrintable(QStringLiteral("missing [%1] in:\n%2").arg(line, (peer).lines().join(QLatin1Char('\n')))))

} // namespace

class TestSim : public QObject
{
    Q_OBJECT

private slots:
    void login_data();
    void login();
    void nameTakenTwice();
    void relayAndSpoofing();
    void subscriptions_data();
    void subscriptions();
    void valveChannels_data();
    void valveChannels();
    void flowFollowsSupply_data();
    void flowFollowsSupply();
    void flowFallsWhenValveCloses();
    void silence();
    void dropAndRaw();
    void transcriptFormat();
};

void TestSim::login_data()
{
    QTest::addColumn<bool>("withKeys");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("key"); // "<right>" / "<wrong>": the key the challenge selects, or one after it
    QTest::addColumn<QString>("answer");

    QTest::newRow("no key file takes any key") << false << "Kestrune"
                                               << "whatever"
                                               << "Welcome Kestrune";
    QTest::newRow("no key file takes an empty key") << false << "Kestrune"
                                                    << ""
                                                    << "Welcome Kestrune";
    QTest::newRow("selected key") << true << "Kestrune"
                                  << "<right>"
                                  << "Welcome Kestrune";
    QTest::newRow("another key of the file") << true << "Kestrune"
                                             << "<wrong>"
                                             << "Login refused: wrong key";
    QTest::newRow("no key") << true << "Kestrune"
                            << ""
                            << "Login refused: wrong key";
    QTest::newRow("the server's node") << false << "System"
                                       << "k"
                                       << "Login refused: name reserved by the server";
    QTest::newRow("a hardware node") << false << "Dev1"
                                     << "k"
                                     << "Login refused: name reserved by the server";
    QTest::newRow("fault control") << false << "Sim"
                                   << "k"
                                   << "Login refused: name reserved by the server";
    QTest::newRow("dotted name") << false << "Kes.trune"
                                 << "k"
                                 << "Login refused: not a valid name";
    QTest::newRow("empty line") << false << ""
                                << ""
                                << "Login refused: not a valid name";
}

void TestSim::login()
{
    QFETCH(bool, withKeys);
    QFETCH(QString, name);
    QFETCH(QString, key);
    QFETCH(QString, answer);

    TempWorkDir dir;
    dir.write(QStringLiteral("plant.cfg"), plant);
    // Blank lines do not count, and inner blanks are simplified.
    const QStringList keys{QStringLiteral("alpha"), QStringLiteral("beta gamma"), QStringLiteral("delta")};
    dir.write(QStringLiteral("sim.key"), "alpha\n\n  beta   gamma \ndelta\n");
    QStringList args{QStringLiteral("-c"), QStringLiteral("plant.cfg")};
    if (withKeys)
        args << QStringLiteral("--keys") << QStringLiteral("sim.key");

    SimProcess sim;
    QVERIFY2(sim.start(args), qPrintable(sim.errorText()));
    BusPeer peer;
    QVERIFY(peer.connectTo(sim.port()));
    const qint64 n = peer.challenge();
    if (key == QLatin1String("<right>"))
        key = keys.at(n % 3);
    else if (key == QLatin1String("<wrong>"))
        key = keys.at((n + 1) % 3);
    QCOMPARE(peer.login(name, key), answer);
    if (answer.startsWith(QLatin1String("Login refused")))
        QVERIFY(peer.waitForDisconnect());
    else
        QVERIFY(peer.sync());
}

void TestSim::nameTakenTwice()
{
    SimProcess sim;
    QVERIFY2(sim.start({}), qPrintable(sim.errorText()));
    BusPeer first;
    QVERIFY(first.join(sim.port(), QStringLiteral("Kestrune")));
    BusPeer second;
    QVERIFY(second.connectTo(sim.port()));
    QCOMPARE(second.login(QStringLiteral("Kestrune")), QStringLiteral("Login refused: name already logged in"));
    QVERIFY(second.waitForDisconnect());
    // The first holder keeps its name and its connection.
    QVERIFY(first.sync());
}

void TestSim::relayAndSpoofing()
{
    SimProcess sim;
    QVERIFY2(sim.start({}), qPrintable(sim.errorText()));
    BusPeer a;
    BusPeer b;
    QVERIFY(a.join(sim.port(), QStringLiteral("A")));
    QVERIFY(b.join(sim.port(), QStringLiteral("B")));

    a.send(QStringLiteral("A.x>B.y Hello  one two"));
    EXPECT_LINE(b, QStringLiteral("A.x>B.y Hello  one two"));
    b.send(QStringLiteral("B.y>A.x @Hello fine"));
    EXPECT_LINE(a, QStringLiteral("B.y>A.x @Hello fine"));

    // Nobody may speak for another client, nor send what is no message.
    a.send(QStringLiteral("B.y>B Spoofed"));
    a.send(QStringLiteral("no message here"));
    // A request to nobody is answered by the server; a reply to nobody is not.
    a.send(QStringLiteral("A.x>Nobody.z Stat"));
    a.send(QStringLiteral("A.x>Nobody @Stat late"));
    a.send(QStringLiteral("A.x>B Last"));
    EXPECT_LINE(b, QStringLiteral("A.x>B Last"));
    EXPECT_LINE(a, QStringLiteral("System>A.x @Stat Er: no client Nobody"));
    QVERIFY(a.sync());
    QCOMPARE(b.lines(), QStringList({QStringLiteral("A.x>B.y Hello  one two"), QStringLiteral("A.x>B Last")}));
    QCOMPARE(a.lines().size(), 3); // the reply, the error, the sync answer
    QVERIFY(sim.hasLine(QStringLiteral("xx A: B.y>B Spoofed (sender is not A)")));
    QVERIFY(sim.hasLine(QStringLiteral("xx A: no message here (not a message)")));
    QVERIFY(sim.hasLine(QStringLiteral("xx A: A.x>Nobody @Stat late (no client Nobody)")));
}

void TestSim::subscriptions_data()
{
    QTest::addColumn<QString>("follow");
    QTest::addColumn<QString>("sender");
    QTest::addColumn<QString>("event");
    QTest::addColumn<QString>("delivered"); // empty: not delivered

    QTest::newRow("node name takes its sub-addresses") << "Pub"
                                                       << "Pub.Line1"
                                                       << "_Ev_ChangedValue 12.5"
                                                       << "Pub.Line1>Sub _ChangedValue 12.5";
    QTest::newRow("node name takes the node itself") << "Pub"
                                                     << "Pub"
                                                     << "_Ev_Hello"
                                                     << "Pub>Sub _Hello";
    QTest::newRow("full address") << "Pub.Line1"
                                  << "Pub.Line1"
                                  << "_Ev_X 1"
                                  << "Pub.Line1>Sub _X 1";
    QTest::newRow("full address, other sub") << "Pub.Line1"
                                             << "Pub.Line2"
                                             << "_Ev_X 1"
                                             << "";
    QTest::newRow("full address, bare node") << "Pub.Line1"
                                             << "Pub"
                                             << "_Ev_X 1"
                                             << "";
    QTest::newRow("other node") << "Other"
                                << "Pub.Line1"
                                << "_Ev_X 1"
                                << "";
    QTest::newRow("event without underscore stays an event") << "Pub"
                                                             << "Pub.Line1"
                                                             << "_EvNewStat Valve 1"
                                                             << "Pub.Line1>Sub _NewStat Valve 1";
}

void TestSim::subscriptions()
{
    QFETCH(QString, follow);
    QFETCH(QString, sender);
    QFETCH(QString, event);
    QFETCH(QString, delivered);

    SimProcess sim;
    QVERIFY2(sim.start({}), qPrintable(sim.errorText()));
    BusPeer pub;
    BusPeer sub;
    QVERIFY(pub.join(sim.port(), QStringLiteral("Pub")));
    QVERIFY(sub.join(sim.port(), QStringLiteral("Sub")));
    sub.send(QStringLiteral("Sub.1>System flgon ") + follow);
    EXPECT_LINE(sub, QStringLiteral("System>Sub.1 @flgon Ok: ") + follow);

    pub.send(sender + QStringLiteral(">System ") + event);
    // Once the publisher's line is handled, anything for the subscriber was
    // written before the answer to its own sync.
    QVERIFY(pub.sync());
    QVERIFY(sub.sync());
    const QStringList seen = sub.lines().mid(1, sub.lines().size() - 2);
    QCOMPARE(seen, delivered.isEmpty() ? QStringList() : QStringList{delivered});
}

void TestSim::valveChannels_data()
{
    QTest::addColumn<QStringList>("requests"); // sent by K.1 in order
    QTest::addColumn<QStringList>("expected"); // every line K receives after subscribing

    QTest::newRow("off at start") << QStringList{"K.1>Dev1 IsOn ch1", "K.1>Dev2 IsOn ch1"}
                                  << QStringList{"Dev1>K.1 @IsOn ch1 0", "Dev2>K.1 @IsOn ch1 0"};
    QTest::newRow("on and off") << QStringList{"K.1>Dev1 ChOn ch2", "K.1>Dev1 IsOn ch2", "K.1>Dev1 IsOn ch1",
                                               "K.1>Dev1 ChOff ch2", "K.1>Dev1 IsOn ch2"}
                                << QStringList{"Dev1>K.1 @ChOn ch2 1",  "Dev1>K _ChangedIsOn ch2 1",
                                               "Dev1>K.1 @IsOn ch2 1",  "Dev1>K.1 @IsOn ch1 0",
                                               "Dev1>K.1 @ChOff ch2 0", "Dev1>K _ChangedIsOn ch2 0",
                                               "Dev1>K.1 @IsOn ch2 0"};
    QTest::newRow("no change, no event") << QStringList{"K.1>Dev1 ChOff ch1"} << QStringList{"Dev1>K.1 @ChOff ch1 0"};
    QTest::newRow("switched behind the panel's back")
        << QStringList{"K.1>Sim SetChannel Dev1 ch1 1", "K.1>Dev1 IsOn ch1"}
        << QStringList{"Dev1>K _ChangedIsOn ch1 1", "Sim>K.1 @SetChannel Ok: Dev1 ch1 1", "Dev1>K.1 @IsOn ch1 1"};
    QTest::newRow("unknown channel and sub-address")
        << QStringList{"K.1>Dev1 IsOn ch9", "K.1>Dev1 ChOn", "K.1>Dev1.ch1 IsOn ch1", "K.1>Dev1 Frobnicate"}
        << QStringList{"Dev1>K.1 @IsOn ch9 Er: no such channel", "Dev1>K.1 @ChOn Er: no channel given",
                       "Dev1.ch1>K.1 @IsOn Er: unknown command or address",
                       "Dev1>K.1 @Frobnicate Er: unknown command or address"};
}

void TestSim::valveChannels()
{
    QFETCH(QStringList, requests);
    QFETCH(QStringList, expected);

    TempWorkDir dir;
    dir.write(QStringLiteral("plant.cfg"), plant);
    SimProcess sim;
    QVERIFY2(sim.start({QStringLiteral("-c"), QStringLiteral("plant.cfg")}), qPrintable(sim.errorText()));
    BusPeer k;
    QVERIFY(k.join(sim.port(), QStringLiteral("K")));
    k.send(QStringLiteral("K.0>System flgon Dev1"));
    EXPECT_LINE(k, QStringLiteral("System>K.0 @flgon Ok: Dev1"));
    for (const QString &request : requests)
        k.send(request);
    QVERIFY(k.sync());
    QCOMPARE(k.lines().mid(1, k.lines().size() - 2), expected);
}

void TestSim::flowFollowsSupply_data()
{
    QTest::addColumn<QStringList>("channelsOn");
    QTest::addColumn<QString>("upstreamSetValue"); // of MFC3, which feeds MFC4
    QTest::addColumn<QStringList>("flows");        // settled measured flow of MfcA.ch1, MfcB, MfcD, MfcE

    QTest::newRow("all channels off") << QStringList{} << "50" << QStringList{"0", "50", "50", "0"};
    QTest::newRow("first valve open") << QStringList{"Dev1 ch1"} << "50" << QStringList{"50", "50", "50", "0"};
    QTest::newRow("second valve open") << QStringList{"Dev1 ch2"} << "50" << QStringList{"50", "50", "50", "0"};
    QTest::newRow("normally-on valve switched on")
        << QStringList{"Dev2 ch1"} << "50" << QStringList{"0", "0", "50", "0"};
    QTest::newRow("upstream MFC at zero") << QStringList{} << "0" << QStringList{"0", "50", "0", "0"};
    QTest::newRow("loop without a source") << QStringList{"Dev3 ch1"} << "50" << QStringList{"0", "50", "50", "0"};
}

void TestSim::flowFollowsSupply()
{
    QFETCH(QStringList, channelsOn);
    QFETCH(QString, upstreamSetValue);
    QFETCH(QStringList, flows);

    TempWorkDir dir;
    dir.write(QStringLiteral("plant.cfg"), plant);
    SimProcess sim;
    QVERIFY2(sim.start({QStringLiteral("-c"), QStringLiteral("plant.cfg")}), qPrintable(sim.errorText()));
    QVERIFY(sim.hasLine(QStringLiteral("-- CONNECT Valve 9 MFC 6    names no node, skipped")));
    BusPeer k;
    QVERIFY(k.join(sim.port(), QStringLiteral("K")));
    for (const QString &channel : channelsOn) {
        k.send(QStringLiteral("K.0>Sim SetChannel %1 1").arg(channel));
        EXPECT_LINE(k, QStringLiteral("Sim>K.0 @SetChannel Ok: %1 1").arg(channel));
    }
    k.send(QStringLiteral("K.0>System flgon MfcW"));
    k.send(QStringLiteral("K.0>System flgon MfcC"));
    const QStringList devices{"MfcA.ch1", "MfcB", "MfcD", "MfcE"};
    for (const QString &device : devices)
        k.send(QStringLiteral("K.1>%1 SetValue 50").arg(device));
    k.send(QStringLiteral("K.1>MfcC SetValue ") + upstreamSetValue);
    k.send(QStringLiteral("K.1>MfcW SetValue 50"));
    EXPECT_LINE(k, QStringLiteral("MfcC>K _ChangedSettingValue ") + upstreamSetValue);
    EXPECT_LINE(k, QStringLiteral("MfcW>K.1 @SetValue 50"));
    EXPECT_LINE(k, QStringLiteral("MfcW>K _ChangedSettingValue 50"));
    // The witness was set last and always has gas: once it has settled,
    // every other flow has settled too.
    EXPECT_LINE(k, QStringLiteral("MfcW>K _ChangedValue 50"));

    for (int i = 0; i < devices.size(); ++i) {
        k.send(QStringLiteral("K.2>%1 GetValue").arg(devices.at(i)));
        k.send(QStringLiteral("K.2>%1 GetSettingValue").arg(devices.at(i)));
        EXPECT_LINE(k, QStringLiteral("%1>K.2 @GetValue %2").arg(devices.at(i), flows.at(i)));
        EXPECT_LINE(k, QStringLiteral("%1>K.2 @GetSettingValue 50").arg(devices.at(i)));
    }
}

void TestSim::flowFallsWhenValveCloses()
{
    TempWorkDir dir;
    dir.write(QStringLiteral("plant.cfg"), plant);
    SimProcess sim;
    QVERIFY2(sim.start({QStringLiteral("-c"), QStringLiteral("plant.cfg")}), qPrintable(sim.errorText()));
    BusPeer k;
    QVERIFY(k.join(sim.port(), QStringLiteral("K")));
    k.send(QStringLiteral("K.0>System flgon MfcA.ch1"));
    k.send(QStringLiteral("K.0>Sim SetChannel Dev1 ch1 1"));
    k.send(QStringLiteral("K.1>MfcA.ch1 SetValue 40"));
    EXPECT_LINE(k, QStringLiteral("MfcA.ch1>K _ChangedValue 40"));

    QElapsedTimer clock;
    clock.start();
    k.send(QStringLiteral("K.0>Sim SetChannel Dev1 ch1 0"));
    EXPECT_LINE(k, QStringLiteral("MfcA.ch1>K _ChangedValue 0"));
    const qint64 elapsed = clock.elapsed();

    // The fall is reported step by step, strictly downwards, no faster than
    // five reports a second, and ends with one report of 0.
    const QStringList lines = k.lines();
    const qsizetype start = lines.indexOf(QStringLiteral("Sim>K.0 @SetChannel Ok: Dev1 ch1 0"));
    QVERIFY(start > 0);
    QList<double> values;
    for (qsizetype i = start + 1; i < lines.size(); ++i) {
        if (lines.at(i).startsWith(QLatin1String("MfcA.ch1>K _ChangedValue ")))
            values << lines.at(i).section(QLatin1Char(' '), 2).toDouble();
    }
    QVERIFY2(values.size() >= 3, qPrintable(lines.join(QLatin1Char('\n'))));
    for (qsizetype i = 1; i < values.size(); ++i)
        QVERIFY(values.at(i) < values.at(i - 1));
    QCOMPARE(values.first() < 40, true);
    QCOMPARE(values.last(), 0.0);
    QVERIFY(values.size() <= elapsed / 200 + 1);

    // Settled: no more reports.
    QVERIFY(k.sync());
    const qsizetype reports = k.lines().filter(QStringLiteral("_ChangedValue")).size();
    k.send(QStringLiteral("K.1>MfcA.ch1 GetValue"));
    EXPECT_LINE(k, QStringLiteral("MfcA.ch1>K.1 @GetValue 0"));
    QCOMPARE(k.lines().filter(QStringLiteral("_ChangedValue")).size(), reports);
}

void TestSim::silence()
{
    TempWorkDir dir;
    dir.write(QStringLiteral("plant.cfg"), plant);
    SimProcess sim;
    QVERIFY2(sim.start({QStringLiteral("-c"), QStringLiteral("plant.cfg"), QStringLiteral("--silence"),
                        QStringLiteral("Dev2")}),
             qPrintable(sim.errorText()));
    BusPeer k;
    QVERIFY(k.join(sim.port(), QStringLiteral("K")));
    k.send(QStringLiteral("K.0>System flgon MfcA"));
    k.send(QStringLiteral("K.1>Sim Silence MfcA.ch1"));
    EXPECT_LINE(k, QStringLiteral("Sim>K.1 @Silence Ok: MfcA.ch1"));

    // A silenced device neither answers nor acts.
    k.send(QStringLiteral("K.2>Dev2 IsOn ch1"));
    k.send(QStringLiteral("K.2>MfcA.ch1 SetValue 5"));
    k.send(QStringLiteral("K.2>Dev1 IsOn ch1"));
    EXPECT_LINE(k, QStringLiteral("Dev1>K.2 @IsOn ch1 0"));
    QVERIFY(k.sync());
    QCOMPARE(k.lines().filter(QStringLiteral(">K.2")), QStringList{QStringLiteral("Dev1>K.2 @IsOn ch1 0")});
    QVERIFY(sim.hasLine(QStringLiteral("xx K: K.2>Dev2 IsOn ch1 (Dev2 silenced)")));
    QVERIFY(sim.hasLine(QStringLiteral("xx K: K.2>MfcA.ch1 SetValue 5 (MfcA.ch1 silenced)")));

    k.send(QStringLiteral("K.1>Sim Unsilence MfcA.ch1"));
    k.send(QStringLiteral("K.3>MfcA.ch1 GetSettingValue"));
    EXPECT_LINE(k, QStringLiteral("MfcA.ch1>K.3 @GetSettingValue 0"));
    k.send(QStringLiteral("K.1>Sim Silence"));
    EXPECT_LINE(k, QStringLiteral("Sim>K.1 @Silence Er: usage: Silence ADDRESS"));
}

void TestSim::dropAndRaw()
{
    SimProcess sim;
    QVERIFY2(sim.start({}), qPrintable(sim.errorText()));
    BusPeer tester;
    BusPeer victim;
    QVERIFY(tester.join(sim.port(), QStringLiteral("Tester")));
    QVERIFY(victim.join(sim.port(), QStringLiteral("Victim")));

    tester.send(QStringLiteral("Tester>Sim Raw Victim 12garbage >< line"));
    EXPECT_LINE(tester, QStringLiteral("Sim>Tester @Raw Ok: Victim 12garbage >< line"));
    EXPECT_LINE(victim, QStringLiteral("12garbage >< line"));

    tester.send(QStringLiteral("Tester>Sim Drop Victim"));
    EXPECT_LINE(tester, QStringLiteral("Sim>Tester @Drop Ok: Victim"));
    QVERIFY(victim.waitForDisconnect());
    QVERIFY(sim.waitForLine(QStringLiteral("-- Victim disconnected")));

    // Gone clients can be neither dropped nor written to; the name is free again.
    tester.send(QStringLiteral("Tester>Sim Drop Victim"));
    tester.send(QStringLiteral("Tester>Sim Raw Victim x"));
    EXPECT_LINE(tester, QStringLiteral("Sim>Tester @Drop Er: no client Victim"));
    EXPECT_LINE(tester, QStringLiteral("Sim>Tester @Raw Er: no client Victim"));
    BusPeer again;
    QVERIFY(again.join(sim.port(), QStringLiteral("Victim")));
}

void TestSim::transcriptFormat()
{
    TempWorkDir dir;
    dir.write(QStringLiteral("plant.cfg"), plant);
    for (const bool quiet : {false, true}) {
        SimProcess sim;
        QStringList args{QStringLiteral("-c"), QStringLiteral("plant.cfg")};
        if (quiet)
            args << QStringLiteral("--quiet");
        QVERIFY2(sim.start(args), qPrintable(sim.errorText()));
        BusPeer k;
        QVERIFY(k.join(sim.port(), QStringLiteral("K")));
        k.send(QStringLiteral("K.3>Dev1 IsOn ch1"));
        EXPECT_LINE(k, QStringLiteral("Dev1>K.3 @IsOn ch1 0"));
        if (quiet) {
            QVERIFY(k.sync());
            QCOMPARE(sim.lines().size(), 1);
            continue;
        }
        QVERIFY(sim.waitForLine(QStringLiteral("-> K: Dev1>K.3 @IsOn ch1 0")));
        const QRegularExpression stamped(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d "));
        QVERIFY(stamped.match(sim.lines().filter(QStringLiteral("<- K: K.3>Dev1 IsOn ch1")).value(0)).hasMatch());
        for (const QString &line : sim.lines().mid(1))
            QVERIFY2(stamped.match(line).hasMatch(), qPrintable(line));
        // Keys are never written out.
        QVERIFY(sim.lines().filter(QStringLiteral("any")).isEmpty());
    }
}

QTEST_GUILESS_MAIN(TestSim)
#include "tst_sim.moc"
