// The panel's link against the stand-in server: started before it, dropped,
// and across a restart of the server, the panel follows the plant as it is
// and never pretends an action reached it.
#include "bus/telso.h"
#include "support/buspeer.h"
#include "support/configtext.h"
#include "support/simprocess.h"
#include "support/tempworkdir.h"
#include "valves/avalve.h"
#include "window/body.h"

#include <QDir>
#include <QPushButton>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTcpServer>
#include <QtTest>

#include <memory>

namespace {

const QByteArray plant = R"(NAME_ON_TELSO Kestrune
KEY_FILE_NAME Kestrune
VALVE 1 0 N2 1.0 Main  VBox ch1 20 10 4 4
VALVE 2 1 Ar 1.4 Main  VBox ch2 40 10 4 4
VALVE 5 3 "N2,Ar" 1.0 Line1 VBox ch5 30 80 4 4
MFC   1 0 N2 1.0 MFC1 MBox c1 30 55 8 6 100 0.02
NODE  1 - 0 J1 30 30 6 3
CONNECT VALVE 1 NODE 1
CONNECT VALVE 2 NODE 1
CONNECT NODE 1 MFC 1
CONNECT MFC 1 VALVE 5
TELSO_CH Line1 VALVE 5
)";

const QStringList keys{"alpha", "beta", "gamma"};
const QString notSent = QStringLiteral("Not connected: nothing was sent");
const QString clockPattern = QStringLiteral("(\\d\\d:\\d\\d:\\d\\d)");

quint16 closedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

int openDescriptors()
{
    return int(QDir(QStringLiteral("/proc/self/fd"))
                   .entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot)
                   .size());
}

} // namespace

class TestE2ELink : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void waitsForTheServer();
    void followsTheHardwareAfterADrop();
    void followsTheHardwareAfterARestart();
    void answersOnceAfterThreeReconnections();
    void descriptorsSteadyOverManyReconnections();

private:
    bool startSim();
    bool joinClient();
    // Lines the panel sent to the current server, without time stamps.
    QStringList panelLines() const;
    int logins() const;
    bool loggedIn() const { return body->busClient()->isLoggedIn(); }
    aValve *valve(int number) const { return static_cast<aValve *>(body->findNode(number, aNode::Valve)); }
    void clickValve(int number);
    bool seen(const QString &pattern) const;

    std::unique_ptr<TempWorkDir> dir;
    quint16 port = 0;
    SimProcess sim;
    std::unique_ptr<BusPeer> client;
    std::unique_ptr<Body> body;
    QStringList texts; // every status text of the link, as it changed
};

void TestE2ELink::initTestCase()
{
    dir = std::make_unique<TempWorkDir>();
    dir->write("Kestrune.key", keys.join('\n').toUtf8() + '\n');
    dir->write("sim.cfg", plant);
    port = closedPort();
    loadConfig(*dir, plant + "TELSO_IP 127.0.0.1\nTELSO_PORT " + QByteArray::number(port) + "\nTELSO_RECONNECT 0.05\n");
    body = std::make_unique<Body>();
    connect(body->busClient(), &Telso::linkChanged, this, [this] { texts << body->linkText(); });
}

void TestE2ELink::cleanupTestCase()
{
    body.reset();
    client.reset();
    sim.stop();
    dir.reset();
}

bool TestE2ELink::startSim()
{
    const bool up = sim.start(
        {"-c", dir->filePath("sim.cfg"), "--keys", dir->filePath("Kestrune.key"), "--port", QString::number(port)});
    if (!up)
        qWarning("%s", qPrintable(sim.errorText()));
    return up;
}

bool TestE2ELink::joinClient()
{
    client = std::make_unique<BusPeer>();
    return client->connectTo(port) &&
           client->login("Client", keys.at(int(client->challenge() % keys.size()))).startsWith("Welcome");
}

QStringList TestE2ELink::panelLines() const
{
    QStringList out;
    static const QRegularExpression sent("^\\S+ <- Kestrune: (.*)$");
    for (const QString &line : sim.lines()) {
        const QRegularExpressionMatch m = sent.match(line);
        if (m.hasMatch())
            out << m.captured(1);
    }
    return out;
}

int TestE2ELink::logins() const
{
    static const QRegularExpression accepted("-- login Kestrune from \\S+ accepted$");
    return int(sim.lines().filter(accepted).size());
}

void TestE2ELink::clickValve(int number)
{
    QTest::mouseClick(valve(number)->findChild<QPushButton *>("B"), Qt::LeftButton);
}

bool TestE2ELink::seen(const QString &pattern) const
{
    return !texts.filter(QRegularExpression(pattern)).isEmpty();
}

void TestE2ELink::waitsForTheServer()
{
    const QString server = QStringLiteral("127\\.0\\.0\\.1:%1").arg(port);
    QTRY_VERIFY_WITH_TIMEOUT(
        seen(QStringLiteral("^Cannot connect to %1; next attempt at %2$").arg(server, clockPattern)), 10000);

    // Nothing reaches the plant now, and the panel does not pretend it did.
    clickValve(1);
    QVERIFY(!valve(1)->isOn());
    QCOMPARE(body->statusBar()->currentMessage(), notSent);
    body->statusBar()->clearMessage();
    QTest::mouseClick(body->findChild<QPushButton *>("StopAll"), Qt::LeftButton);
    QCOMPARE(body->statusBar()->currentMessage(), notSent);

    QVERIFY(startSim());
    QTRY_COMPARE_WITH_TIMEOUT(body->linkText(), QString("Logged in as Kestrune"), 20000);
    QVERIFY(sim.waitForLine("<- Kestrune: Kestrune.1>MBox.c1 GetSettingValue"));
    const QStringList sync{
        "Kestrune.1>System flgon VBox",       "Kestrune.1>VBox IsOn ch1",        "Kestrune.2>System flgon VBox",
        "Kestrune.2>VBox IsOn ch2",           "Kestrune.5>System flgon VBox",    "Kestrune.5>VBox IsOn ch5",
        "Kestrune.1>System flgon MBox",       "Kestrune.1>System flgon MBox.c1", "Kestrune.1>MBox.c1 GetValue",
        "Kestrune.1>MBox.c1 GetSettingValue",
    };
    QCOMPARE(panelLines(), sync);
    QVERIFY(!valve(1)->isOn());
    QVERIFY(seen(QStringLiteral("^Connecting to %1\\.\\.\\.$").arg(server)));
    QCOMPARE(texts.last(), QString("Logged in as Kestrune"));
}

void TestE2ELink::followsTheHardwareAfterADrop()
{
    QVERIFY(joinClient());
    // Switched behind the panel's back: the panel only learns it when it asks.
    client->send("Client>Sim SetChannel VBox ch2 1");
    QVERIFY(client->waitForLine("Sim>Client @SetChannel Ok: VBox ch2 1"));
    QVERIFY(!valve(2)->isOn());

    texts.clear();
    const int before = logins();
    client->send("Client>Sim Drop Kestrune");
    QTRY_VERIFY_WITH_TIMEOUT(logins() == before + 1 && loggedIn(), 20000);
    QTRY_VERIFY_WITH_TIMEOUT(valve(2)->isOn(), 10000);
    QVERIFY2(seen(QStringLiteral("^Connection lost at %1; next attempt at %1$").arg(clockPattern)),
             qPrintable(texts.join('\n')));
}

void TestE2ELink::followsTheHardwareAfterARestart()
{
    QVERIFY(valve(2)->isOn());
    texts.clear();
    const QTime stopped = QTime::currentTime().addSecs(-1);
    sim.stop();
    QTRY_VERIFY_WITH_TIMEOUT(!loggedIn(), 10000);
    const QRegularExpression lost(QStringLiteral("^Connection lost at %1; next attempt at %1$").arg(clockPattern));
    QTRY_VERIFY_WITH_TIMEOUT(lost.match(body->linkText()).hasMatch(), 10000);
    const QTime lostAt = QTime::fromString(lost.match(body->linkText()).captured(1), "HH:mm:ss");
    QVERIFY(lostAt.isValid());
    QVERIFY(qAbs(stopped.secsTo(lostAt)) <= 5);

    clickValve(1);
    QCOMPARE(body->statusBar()->currentMessage(), notSent);

    // The new server's hardware starts with every channel off.
    QVERIFY(startSim());
    QTRY_COMPARE_WITH_TIMEOUT(body->linkText(), QString("Logged in as Kestrune"), 20000);
    QTRY_VERIFY_WITH_TIMEOUT(!valve(2)->isOn(), 10000);
    QVERIFY(!valve(1)->isOn());
    // The click made while the link was down is not sent now either.
    QVERIFY(sim.waitForLine("<- Kestrune: Kestrune.1>MBox.c1 GetSettingValue"));
    QVERIFY(panelLines().filter("ChOn").isEmpty());
    QVERIFY(panelLines().filter("ChOff").isEmpty());
}

void TestE2ELink::answersOnceAfterThreeReconnections()
{
    QVERIFY(joinClient());
    for (int i = 0; i < 3; ++i) {
        const int before = logins();
        client->send("Client>Sim Drop Kestrune");
        QTRY_VERIFY_WITH_TIMEOUT(logins() == before + 1 && loggedIn(), 20000);
    }
    // One synchronisation per login: four since this server started.
    QTRY_COMPARE_WITH_TIMEOUT(panelLines().filter("Kestrune.1>MBox.c1 GetSettingValue").size(), 4, 10000);
    QCOMPARE(panelLines().filter("Kestrune.1>VBox IsOn ch1").size(), 4);

    const int before = int(client->lines().size());
    client->send("Client>Kestrune Stat");
    client->send("Client>Kestrune.Line1 Stat");
    client->send("Client>Kestrune.Line1 GetNowGas");
    // Answered in order: once the last answer is in, every copy of the
    // earlier ones would be too.
    QTRY_VERIFY_WITH_TIMEOUT(!client->lines().mid(before).filter("Kestrune.Line1>Client @GetNowGas").isEmpty(), 10000);
    const QStringList answers = client->lines().mid(before);
    QCOMPARE(answers.filter(QRegularExpression("^Kestrune>Client @Stat ")).size(), 1);
    QCOMPARE(answers.filter(QRegularExpression("^Kestrune.Line1>Client @Stat ")).size(), 1);
    QCOMPARE(answers.filter(QRegularExpression("^Kestrune.Line1>Client @GetNowGas")).size(), 1);
}

void TestE2ELink::descriptorsSteadyOverManyReconnections()
{
    QVERIFY(loggedIn());
    const int baseline = openDescriptors();
    for (int i = 0; i < 100; ++i) {
        const int before = logins();
        client->send("Client>Sim Drop Kestrune");
        QTRY_VERIFY_WITH_TIMEOUT(logins() == before + 1 && loggedIn(), 20000);
    }
    QTRY_VERIFY2_WITH_TIMEOUT(
        qAbs(openDescriptors() - baseline) <= 3,
        qPrintable(QStringLiteral("%1 open before, %2 after").arg(baseline).arg(openDescriptors())), 10000);
}

QTEST_MAIN(TestE2ELink)
#include "tst_e2e_link.moc"
