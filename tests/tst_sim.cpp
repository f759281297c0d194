#include "support/buspeer.h"
#include "support/simprocess.h"
#include "support/tempworkdir.h"

#include <QRegularExpression>
#include <QtTest>

namespace {

// Two sources; MFC1 is fed through valve 1 or 2, MFC2 through a normally-on
// valve; MFC3 feeds MFC4; MFC6 hangs below a loop with no source; MfcW is
// a source of its own and always has gas.
const QByteArray plant = R"(VALVE 1 0 N2 1.0 Line1 Dev1 ch1 10 10 20 20
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

// Sends requests, then waits until the server has handled them and returns
// every line that came back meanwhile.
QStringList exchange(BusPeer &peer, const QStringList &requests)
{
    const qsizetype before = peer.lines().size();
    for (const QString &request : requests)
        peer.send(request);
    return peer.sync() ? peer.lines().mid(before, peer.lines().size() - before - 1) : QStringList{"no sync answer"};
}

} // namespace

class TestSim : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void login_data();
    void login();
    void requests_data();
    void requests();
    void flowFollowsSupply_data();
    void flowFollowsSupply();
    void transcript();

private:
    TempWorkDir dir;
    SimProcess sim;   // the plant, Dev3 silenced from the start; any key taken
    SimProcess keyed; // relays only, keys from sim.key
    BusPeer k;        // logged in to sim, follows Dev1
};

void TestSim::initTestCase()
{
    dir.write(QStringLiteral("plant.cfg"), plant);
    // Blank lines do not count, and inner blanks are simplified.
    dir.write(QStringLiteral("sim.key"), "alpha\n\n  beta   gamma \ndelta\n");
    QVERIFY2(sim.start({"-c", "plant.cfg", "--silence", "Dev3"}), qPrintable(sim.errorText()));
    QVERIFY2(keyed.start({"--keys", "sim.key"}), qPrintable(keyed.errorText()));
    QVERIFY(k.join(sim.port(), QStringLiteral("K")));
    QCOMPARE(exchange(k, {"K.0>System flgon Dev1"}), QStringList{"System>K.0 @flgon Ok: Dev1"});
}

void TestSim::login_data()
{
    QTest::addColumn<bool>("withKeys");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("key"); // "<right>"/"<wrong>": the key the challenge selects, or the one after it
    QTest::addColumn<QString>("answer");
    const auto row = [](const char *tag, bool withKeys, const char *name, const char *key, const char *answer) {
        QTest::newRow(tag) << withKeys << name << key << answer;
    };
    row("no key file takes any key", false, "Any1", "whatever", "Welcome Any1");
    row("selected key", true, "Keyed", "<right>", "Welcome Keyed");
    row("another key of the file", true, "Kestrune", "<wrong>", "Login refused: wrong key");
    row("name taken; its holder keeps it", false, "K", "k", "Login refused: name already logged in");
    row("the server's node", false, "System", "k", "Login refused: name reserved by the server");
    row("dotted name", false, "Kes.trune", "k", "Login refused: not a valid name");
    row("empty line", false, "", "", "Login refused: not a valid name");
}

void TestSim::login()
{
    QFETCH(bool, withKeys);
    QFETCH(QString, name);
    QFETCH(QString, key);
    QFETCH(QString, answer);

    BusPeer peer;
    QVERIFY(peer.connectTo((withKeys ? keyed : sim).port()));
    const QStringList keys{"alpha", "beta gamma", "delta"};
    if (key.startsWith(QLatin1Char('<')))
        key = keys.at((peer.challenge() + (key == QLatin1String("<wrong>"))) % 3);
    QCOMPARE(peer.login(name, key), answer);
    QVERIFY(answer.startsWith(QLatin1String("Welcome")) ? peer.sync() : peer.waitForDisconnect());
    QVERIFY(k.sync());
}

void TestSim::requests_data()
{
    QTest::addColumn<QStringList>("requests"); // sent by K in order
    QTest::addColumn<QStringList>("expected"); // every line K receives meanwhile
    const auto row = [](const char *tag, const QStringList &requests, const QStringList &expected) {
        QTest::newRow(tag) << requests << expected;
    };
    row("relayed to itself; another sender's line and no message dropped",
        {"K.x>K.y Hello  one", "Other>K Spoofed", "no message here"}, {"K.x>K.y Hello  one"});
    row("a request to nobody is answered, a reply is not", {"K.1>Nobody.z Stat", "K.1>Nobody @Stat late"},
        {"System>K.1 @Stat Er: no client Nobody"});
    row("on and off", {"K.1>Dev1 ChOn ch2", "K.1>Dev1 IsOn ch2", "K.1>Dev1 ChOff ch2", "K.1>Dev1 ChOff ch2"},
        {"Dev1>K.1 @ChOn ch2 1", "Dev1>K _ChangedIsOn ch2 1", "Dev1>K.1 @IsOn ch2 1", "Dev1>K.1 @ChOff ch2 0",
         "Dev1>K _ChangedIsOn ch2 0", "Dev1>K.1 @ChOff ch2 0"});
    row("unknown channel, command and address",
        {"K.1>Dev1 IsOn ch9", "K.1>Dev1 ChOn", "K.1>Dev1.ch1 IsOn ch1", "K.1>Dev1 Frobnicate"},
        {"Dev1>K.1 @IsOn ch9 Er: no such channel", "Dev1>K.1 @ChOn Er: no channel given",
         "Dev1.ch1>K.1 @IsOn Er: unknown command or address", "Dev1>K.1 @Frobnicate Er: unknown command or address"});
    row("following an address",
        {"K.0>System flgon K.L1", "K.L1>System _Ev_X 1", "K.L2>System _Ev_X 2", "K>System _Ev_X 3"},
        {"System>K.0 @flgon Ok: K.L1", "K.L1>K _X 1"});
    // Texts without the event mark get one, so that no subscriber takes them for requests.
    row("following a node", {"K.0>System flgon K", "K.L2>System _Ev_X 2", "K>System _EvNewStat Valve 1"},
        {"System>K.0 @flgon Ok: K", "K.L2>K _X 2", "K>K _NewStat Valve 1"});
    row("raw line", {"K.1>Sim Raw K 12garbage >< line"}, {"12garbage >< line", "Sim>K.1 @Raw Ok: K 12garbage >< line"});
    row("fault requests refused", {"K.1>Sim Silence", "K.1>Sim Drop Nobody", "K.1>Sim Raw Nobody x"},
        {"Sim>K.1 @Silence Er: usage: Silence ADDRESS", "Sim>K.1 @Drop Er: no client Nobody",
         "Sim>K.1 @Raw Er: no client Nobody"});
}

// Each row leaves the plant as it found it.
void TestSim::requests()
{
    QFETCH(QStringList, requests);
    QFETCH(QStringList, expected);
    QCOMPARE(exchange(k, requests), expected);
}

void TestSim::flowFollowsSupply_data()
{
    QTest::addColumn<QString>("channelsOn");
    QTest::addColumn<QString>("upstreamSetValue"); // of MFC3, which feeds MFC4
    QTest::addColumn<QString>("flows");            // settled measured flow of MfcA.ch1, MfcB, MfcD, MfcE
    QTest::newRow("all channels off") << QString() << "50" << QStringLiteral("0 50 50 0");
    QTest::newRow("second, normally-on and loop valves on, upstream MFC at zero") << "Dev1 ch2,Dev2 ch1,Dev3 ch1"
                                                                                  << "0" << QStringLiteral("50 0 0 0");
}

void TestSim::flowFollowsSupply()
{
    QFETCH(QString, channelsOn);
    QFETCH(QString, upstreamSetValue);
    QFETCH(QString, flows);

    SimProcess fresh;
    QVERIFY2(fresh.start({"-c", "plant.cfg"}), qPrintable(fresh.errorText()));
    BusPeer p;
    QVERIFY(p.join(fresh.port(), QStringLiteral("P")));
    QStringList requests{"P.0>System flgon MfcW", "P.1>MfcA.ch1 SetValue 50", "P.1>MfcB SetValue 50",
                         "P.1>MfcD SetValue 50",  "P.1>MfcE SetValue 50",     "P.1>MfcC SetValue " + upstreamSetValue};
    for (const QString &channel : channelsOn.split(QLatin1Char(','), Qt::SkipEmptyParts))
        requests << QStringLiteral("P.0>Sim SetChannel %1 1").arg(channel);
    exchange(p, requests << "P.1>MfcW SetValue 50");
    // The witness was set last and always has gas: once it has settled,
    // every other flow has settled too.
    QVERIFY(p.waitForLine(QStringLiteral("MfcW>P _ChangedValue 50")));
    QStringList got;
    for (const QString &line :
         exchange(p, {"P.2>MfcA.ch1 GetValue", "P.2>MfcB GetValue", "P.2>MfcD GetValue", "P.2>MfcE GetValue"}))
        got << line.section(QLatin1Char(' '), 2);
    QCOMPARE(got.join(QLatin1Char(' ')), flows);
}

void TestSim::transcript()
{
    QVERIFY(sim.hasLine(QStringLiteral("-- CONNECT Valve 9 MFC 6    names no node, skipped")));
    // Login keys are never written out.
    QVERIFY(!keyed.lines().filter(QStringLiteral("-- login Keyed from")).isEmpty());
    QVERIFY(keyed.lines().filter(QRegularExpression(QStringLiteral("alpha|beta|delta"))).isEmpty());
    QVERIFY(sim.lines().filter(QRegularExpression(QStringLiteral("whatever| any$"))).isEmpty());
}

QTEST_GUILESS_MAIN(TestSim)
#include "tst_sim.moc"
