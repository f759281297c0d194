// Against the stand-in server the panel waits for it and follows the plant across drops and restarts, pretending
// nothing.
#include "bus/telso.h"
#include "support/buspeer.h"
#include "support/configtext.h"
#include "support/simprocess.h"
#include "support/tempworkdir.h"
#include "valves/avalve.h"
#include "window/body.h"

#include <QDir>
#include <QLabel>
#include <QStatusBar>
#include <QTcpServer>
#include <QtTest>

#include <memory>

namespace {

const QByteArray plant =
    "NAME_ON_TELSO Kestrune\nKEY_FILE_NAME Kestrune\nVALVE 1 0 N2 1.0 Main VBox ch1 20 10 4 4\n"
    "VALVE 5 3 \"N2,Ar\" 1.0 Line1 VBox ch5 30 80 4 4\nMFC 1 0 N2 1.0 MFC1 MBox c1 30 55 8 6 100 0.02\n"
    "NODE 1 - 0 J1 30 30 6 3\nCONNECT VALVE 1 NODE 1\nCONNECT NODE 1 MFC 1\nCONNECT MFC 1 VALVE 5\n"
    "TELSO_CH Line1 VALVE 5\n";
const QStringList keys{"alpha", "beta", "gamma"};
const QString lastSync = "Kestrune.1>MBox.c1 GetSettingValue"; // the last question of a login's synchronisation

} // namespace

class TestE2ELink : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        const QString keyFile = dir.write("Kestrune.key", keys.join('\n').toUtf8() + '\n');
        QTcpServer probe; // a loopback port where nothing listens yet
        probe.listen(QHostAddress::LocalHost, 0);
        port = probe.serverPort();
        simArgs = {"-c", dir.write("sim.cfg", plant), "--keys", keyFile, "--port", QString::number(port)};
        loadConfig(dir, plant + "TELSO_IP 127.0.0.1\nTELSO_RECONNECT 0.05\nTELSO_PORT " + QByteArray::number(port));
        body = std::make_unique<Body>();
    }

    void waitsForTheServer()
    {
        const QString refused = QString("Cannot connect to 127.0.0.1:%1; next attempt at ").arg(port);
        QTRY_VERIFY_WITH_TIMEOUT(body->linkText().startsWith(refused), 10000);
        // Nothing reaches the plant while the link is down, and the panel does not pretend it did.
        QTest::mouseClick(valve1()->findChild<QPushButton *>("B"), Qt::LeftButton);
        QCOMPARE(body->statusBar()->currentMessage(), QString("Not connected: nothing was sent"));
        // Every panel, not only the diagram, shows that what it says may be stale.
        QVERIFY(valve1()->findChild<QPushButton *>("B")->toolTip().startsWith("Not connected to the server"));
        QVERIFY(body->findNode(1, aNode::MFC)->findChild<QLabel *>("OCStat")->styleSheet().contains("dashed"));
        QVERIFY2(sim.start(simArgs), qPrintable(sim.errorText()));
        QTRY_COMPARE_WITH_TIMEOUT(body->linkText(), QString("Logged in as Kestrune"), 20000);
        QVERIFY(sim.waitForLine("<- Kestrune: " + lastSync));
        QVERIFY(panelLines().filter(" ChO").isEmpty()); // nor is the refused click sent
        QVERIFY(valve1()->findChild<QPushButton *>("B")->toolTip().isEmpty());
    }

    void reconnections()
    {
        client = std::make_unique<BusPeer>();
        QVERIFY(client->connectTo(port));
        QVERIFY(client->login("Client", keys.at(int(client->challenge() % keys.size()))).startsWith("Welcome"));
        // Switched behind the panel's back: the panel follows the hardware, and still after logging in again.
        client->send("Client>Sim SetChannel VBox ch1 1");
        QVERIFY(client->waitForLine("Sim>Client @SetChannel Ok: VBox ch1 1"));
        QTRY_VERIFY_WITH_TIMEOUT(valve1()->isOn(), 10000);
        QVERIFY(dropPanel(3));
        QTRY_VERIFY_WITH_TIMEOUT(valve1()->isOn(), 10000);
        // One synchronisation per login, four since this server started, and every question answered once.
        QTRY_COMPARE_WITH_TIMEOUT(panelLines().filter(lastSync).size(), 4, 10000);
        const qsizetype before = client->lines().size();
        for (const char *ask : {"Kestrune Stat", "Kestrune.Line1 Stat", "Kestrune.Line1 GetNowGas"})
            client->send(QString("Client>") + ask);
        // Answered in order: once the last answer is in, any copy of the earlier ones would be too.
        QTRY_VERIFY_WITH_TIMEOUT(!client->lines().mid(before).filter("Line1>Client @GetNowGas").isEmpty(), 10000);
        const QStringList answers = client->lines().mid(before);
        for (const char *answer : {"^Kestrune>Client @Stat ", "^Kestrune.Line1>Client @Stat ", "@GetNowGas"})
            QVERIFY2(answers.filter(QRegularExpression(answer)).size() == 1, answer);

        const auto fds = [] { return QDir("/proc/self/fd", {}, {}, QDir::AllEntries | QDir::System).count(); };
        const uint baseline = fds();
        QVERIFY(dropPanel(100));
        QTRY_VERIFY_WITH_TIMEOUT(qAbs(int(fds()) - int(baseline)) <= 3, 10000);
    }

    void followsTheHardwareAfterARestart()
    {
        const QTime stopped = QTime::currentTime();
        sim.stop();
        const QRegularExpression lost("^Connection lost at (\\d\\d:\\d\\d:\\d\\d); next attempt at ");
        QTRY_VERIFY_WITH_TIMEOUT(lost.match(body->linkText()).hasMatch(), 10000);
        QVERIFY(qAbs(stopped.secsTo(QTime::fromString(lost.match(body->linkText()).captured(1), "HH:mm:ss"))) <= 5);
        QTest::mouseClick(valve1()->findChild<QPushButton *>("B"), Qt::LeftButton);
        QVERIFY(valve1()->isOn());
        QCOMPARE(body->statusBar()->currentMessage(), QString("Not connected: nothing was sent"));
        // The new server's hardware starts with every channel off.
        QVERIFY2(sim.start(simArgs), qPrintable(sim.errorText()));
        QTRY_COMPARE_WITH_TIMEOUT(body->linkText(), QString("Logged in as Kestrune"), 20000);
        QTRY_VERIFY_WITH_TIMEOUT(!valve1()->isOn(), 10000);
        QVERIFY(sim.waitForLine("<- Kestrune: " + lastSync));
        QVERIFY(panelLines().filter(" ChO").isEmpty()); // nor is the refused click sent now
    }

private:
    // The client has the server drop the panel, times over, each time waiting for its next login's synchronisation.
    bool dropPanel(int times)
    {
        const auto syncs = [this] { return panelLines().filter(lastSync).size(); };
        for (int i = 0; i < times; ++i) {
            const qsizetype before = syncs();
            client->send("Client>Sim Drop Kestrune");
            if (!QTest::qWaitFor([&] { return syncs() > before && body->busClient()->isLoggedIn(); }, 20000))
                return false;
        }
        return true;
    }

    // Lines the panel sent to the current server, without time stamps.
    QStringList panelLines() const
    {
        return sim.lines().filter(" <- Kestrune: ").replaceInStrings(QRegularExpression("^.* <- Kestrune: "), "");
    }

    aValve *valve1() const { return static_cast<aValve *>(body->findNode(1, aNode::Valve)); }

    TempWorkDir dir;
    quint16 port = 0;
    QStringList simArgs;
    SimProcess sim;
    std::unique_ptr<BusPeer> client;
    std::unique_ptr<Body> body;
};

QTEST_MAIN(TestE2ELink)
#include "tst_e2e_link.moc"
