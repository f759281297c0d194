// The link to the message server: recovery of the bus client, and how the
// main window shows the link and refuses what cannot reach the hardware.
#include "app/startup.h"
#include "bus/telso.h"
#include "diagram/gview.h"
#include "mfc/amfc.h"
#include "nodes/ticktimer.h"
#include "support/configtext.h"
#include "support/fakeserver.h"
#include "support/tempworkdir.h"
#include "valves/avalve.h"
#include "window/body.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTcpServer>
#include <QTranslator>
#include <QtTest>

namespace {

const QString notSent = QStringLiteral("Not connected: nothing was sent");

// A loopback port where nothing listens.
quint16 closedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

QByteArray serverAt(quint16 port)
{
    return "TELSO_IP 127.0.0.1\nTELSO_PORT " + QByteArray::number(port) + "\n";
}

// Every delay the client plans, in ms, as it plans it.
struct DelayLog
{
    explicit DelayLog(Telso &telso)
    {
        QObject::connect(&telso, &Telso::linkChanged, &telso, [this, &telso] {
            if (telso.linkState() == Telso::LinkDown && telso.nextAttemptAt().isValid())
                delays << QDateTime::currentDateTime().msecsTo(telso.nextAttemptAt());
        });
    }
    QList<qint64> delays;
};

bool near(const QList<qint64> &got, const QList<int> &expected)
{
    if (got.size() != expected.size())
        return false;
    for (qsizetype i = 0; i < got.size(); ++i) {
        if (qAbs(got[i] - expected[i]) > 5)
            return false;
    }
    return true;
}

QString show(const QList<qint64> &delays)
{
    QStringList texts;
    for (qint64 d : delays)
        texts << QString::number(d);
    return texts.join(' ');
}

QLabel *linkLabel(Body &body)
{
    for (QLabel *label : body.statusBar()->findChildren<QLabel *>()) {
        if (label->text() == body.linkText())
            return label;
    }
    return nullptr;
}

int recordRows(const TempWorkDir &dir, Body &body)
{
    return int(dir.read(body.recordFileName(QDate::currentDate())).count('\n'));
}

aValve *valve(Body &body, int number)
{
    return static_cast<aValve *>(body.findNode(number, aNode::Valve));
}

aMFC *mfc(Body &body, int number)
{
    return static_cast<aMFC *>(body.findNode(number, aNode::MFC));
}

// Reddish pixels of the "disconnected" notice in the middle of the diagram.
int noticePixels(const QImage &img)
{
    int count = 0;
    for (int y = 100; y < 200; ++y) {
        for (int x = 0; x < img.width(); ++x) {
            const QColor c = img.pixelColor(x, y);
            if (c.red() > 120 && c.green() < 60 && c.blue() < 60)
                ++count;
        }
    }
    return count;
}

} // namespace

class TestLink : public QObject
{
    Q_OBJECT

private slots:
    void retryDelays_data();
    void retryDelays();
    void recoversAndStartsOver();
    void commandsNotKeptAcrossALoss();
    void reconnectSetting_data();
    void reconnectSetting();
    void statusTexts_data();
    void statusTexts();
    void operatorActionsRefused_data();
    void operatorActionsRefused();
    void diagramShowsTheLink();
    void timedActionsWhileDisconnected();
    void japaneseTexts();
};

void TestLink::retryDelays_data()
{
    QTest::addColumn<int>("first");
    QTest::addColumn<QList<int>>("expected");

    QTest::newRow("doubling") << 20 << QList<int>{20, 40, 80, 160};
    QTest::newRow("capped at 30 s") << 16000 << QList<int>{16000, 30000, 30000};
    QTest::newRow("first above the cap") << 45000 << QList<int>{30000, 30000};
}

void TestLink::retryDelays()
{
    QFETCH(int, first);
    QFETCH(QList<int>, expected);

    TempWorkDir dir;
    Telso telso("127.0.0.1", QString::number(closedPort()), "Kestrune", "Kestrune");
    telso.setReconnectDelay(first);
    DelayLog log(telso);
    // Each attempt is started here at once, so the test need not wait for
    // the planned ones; the plan still grows with every failure.
    for (qsizetype i = 0; i < expected.size(); ++i) {
        QVERIFY(telso.connectToServer());
        QTRY_COMPARE_WITH_TIMEOUT(log.delays.size(), i + 1, 10000);
    }
    QVERIFY2(near(log.delays, expected), qPrintable(show(log.delays)));
    QCOMPARE(telso.linkState(), Telso::LinkDown);
    QVERIFY(!telso.lostAt().isValid()); // never logged in: nothing was lost
}

void TestLink::recoversAndStartsOver()
{
    TempWorkDir dir;
    FakeServer server;
    Telso telso("127.0.0.1", QString::number(closedPort()), "Kestrune", "Kestrune");
    telso.setReconnectDelay(20);
    DelayLog log(telso);
    QSignalSpy ready(&telso, &Telso::ready);

    telso.connectToServer();
    // The client tries again by itself, waiting longer each time.
    QTRY_VERIFY_WITH_TIMEOUT(log.delays.size() >= 3, 10000);
    QVERIFY2(near(log.delays.mid(0, 3), {20, 40, 80}), qPrintable(show(log.delays)));

    telso.port = server.portText();
    QVERIFY(ready.wait(10000));
    QCOMPARE(telso.linkState(), Telso::LinkUp);
    QVERIFY(telso.isLoggedIn());

    // After a login the first delay applies again.
    log.delays.clear();
    const QDateTime before = QDateTime::currentDateTime();
    server.disconnectClient();
    QTRY_COMPARE_WITH_TIMEOUT(log.delays.size(), 1, 10000);
    QVERIFY2(near(log.delays, {20}), qPrintable(show(log.delays)));
    QVERIFY(telso.lostAt() >= before.addMSecs(-1));
    QVERIFY(ready.wait(10000));
    QCOMPARE(ready.count(), 2);
    QVERIFY(!telso.lostAt().isValid());
}

void TestLink::commandsNotKeptAcrossALoss()
{
    TempWorkDir dir;
    FakeServer server;
    Telso telso("", "", "Kestrune", "Kestrune");
    telso.setReconnectDelay(20);
    QVERIFY(loginTelso(telso, server));
    QSignalSpy ready(&telso, &Telso::ready);

    server.disconnectClient();
    QTRY_COMPARE_WITH_TIMEOUT(telso.linkState(), Telso::LinkDown, 10000);
    QVERIFY(!telso.sendCommand("1", "Dev", "ChOn ch1"));

    QVERIFY(ready.wait(10000));
    QVERIFY(telso.sendCommand("2", "Dev", "IsOn ch2"));
    QVERIFY(server.waitForLines(1));
    QCOMPARE(server.lines(), QStringList{"Kestrune.2>Dev IsOn ch2"});
}

void TestLink::reconnectSetting_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("msec");

    QTest::newRow("fraction") << "0.05" << 50;
    QTest::newRow("zero: off") << "0" << 0;
    QTest::newRow("not a number: off") << "soon" << 0;
    QTest::newRow("above the cap") << "45" << 30000;
    QTest::newRow("tiny but on") << "0.0001" << 1;
}

void TestLink::reconnectSetting()
{
    QFETCH(QString, text);
    QFETCH(int, msec);
    QCOMPARE(Body::reconnectDelay(text), msec);
}

void TestLink::statusTexts_data()
{
    QTest::addColumn<bool>("serverUp");
    QTest::addColumn<bool>("greet");
    QTest::addColumn<bool>("drop");
    QTest::addColumn<QString>("pattern");

    const QString time = QStringLiteral("\\d\\d:\\d\\d:\\d\\d");
    QTest::newRow("connecting") << true << false << false
                                << QStringLiteral("^Connecting to 127\\.0\\.0\\.1:PORT\\.\\.\\.$");
    QTest::newRow("lost, no recovery") << true << true << true
                                       << QStringLiteral("^Connection lost at %1; no further attempts$").arg(time);
    QTest::newRow("no server, no recovery")
        << false << false << false << QStringLiteral("^Cannot connect to 127\\.0\\.0\\.1:PORT; no further attempts$");
}

void TestLink::statusTexts()
{
    QFETCH(bool, serverUp);
    QFETCH(bool, greet);
    QFETCH(bool, drop);
    QFETCH(QString, pattern);

    TempWorkDir dir;
    FakeServer server;
    server.setChallengeOnConnect(greet);
    const quint16 port = serverUp ? server.port() : closedPort();
    loadConfig(dir, serverAt(port) + "NAME_ON_TELSO Plant\nTELSO_RECONNECT 0\n");
    Body body;
    if (greet)
        QTRY_VERIFY_WITH_TIMEOUT(body.busClient()->isLoggedIn(), 10000);
    else if (serverUp)
        QVERIFY(server.waitForClient());
    if (drop)
        server.disconnectClient();

    const QRegularExpression re(QString(pattern).replace("PORT", QString::number(port)));
    QTRY_VERIFY2_WITH_TIMEOUT(re.match(body.linkText()).hasMatch(), qPrintable(body.linkText()), 10000);
    QVERIFY(linkLabel(body));
}

void TestLink::operatorActionsRefused_data()
{
    QTest::addColumn<QString>("action");

    QTest::newRow("valve button") << "button";
    QTest::newRow("diagram double click") << "double click";
    QTest::newRow("MFC set point") << "set";
    QTest::newRow("Stop All") << "stop all";
}

void TestLink::operatorActionsRefused()
{
    QFETCH(QString, action);

    TempWorkDir dir;
    loadConfig(dir, "TELSO_RECONNECT 0\nVALVE 1 0 N2 1 L1 Dev ch1 50 50 5 10\nVALVE 2 1 Ar 1 L2 Dev ch2\n"
                    "MFC 1 0 N2 1 M1 MF c1\n");
    Body body;
    QTRY_COMPARE_WITH_TIMEOUT(body.busClient()->linkState(), Telso::LinkDown, 10000);
    valve(body, 2)->showStat(true); // as the hardware last reported it
    const int rows = recordRows(dir, body);

    if (action == "button") {
        QTest::mouseClick(valve(body, 1)->findChild<QPushButton *>("B"), Qt::LeftButton);
    } else if (action == "double click") {
        body.diagram()->setFixedSize(400, 300);
        body.diagram()->grab();
        QTest::mouseDClick(body.diagram(), Qt::LeftButton, Qt::NoModifier, QPoint(200, 150));
    } else if (action == "set") {
        QTest::keyClicks(mfc(body, 1)->findChild<QLineEdit *>("NewSetPoint"), "50");
        QTest::mouseClick(mfc(body, 1)->findChild<QPushButton *>("UpdateSetPoint"), Qt::LeftButton);
    } else {
        QTest::mouseClick(body.findChild<QPushButton *>("StopAll"), Qt::LeftButton);
    }

    QCOMPARE(body.statusBar()->currentMessage(), notSent);
    QVERIFY(!valve(body, 1)->isOn());
    QVERIFY(valve(body, 2)->isOn());
    QCOMPARE(mfc(body, 1)->settingSV, 0.0);
    QCOMPARE(valve(body, 1)->findChild<QPushButton *>("B")->text(), QString("Closing"));
    QCOMPARE(recordRows(dir, body), rows);
    // The connection state stays in view beside the message.
    QVERIFY(linkLabel(body) && linkLabel(body)->isVisible());
}

void TestLink::diagramShowsTheLink()
{
    TempWorkDir dir;
    FakeServer server;
    server.setChallengeOnConnect(false);
    loadConfig(dir, serverAt(server.port()) + "VALVE 1 0 \"\" 1 L Dev ch 50 50 5 10\n");
    Body body;
    QVERIFY(server.waitForClient());
    body.diagram()->setFixedSize(400, 300);

    QImage img = body.diagram()->grab().toImage();
    QVERIFY(img.pixelColor(200, 120) != QColor(170, 150, 0)); // the closed valve's top edge, greyed
    QVERIFY(img.pixelColor(200, 120).hslSaturation() < 100);
    QVERIFY(img.pixelColor(200, 120).lightness() < 250);
    QVERIFY(noticePixels(img) > 0);

    server.sendRaw("0\n");
    QTRY_VERIFY_WITH_TIMEOUT(body.busClient()->isLoggedIn(), 10000);
    img = body.diagram()->grab().toImage();
    QCOMPARE(img.pixelColor(200, 120), QColor(170, 150, 0));
    QCOMPARE(noticePixels(img), 0);

    server.disconnectClient();
    QTRY_COMPARE_WITH_TIMEOUT(body.busClient()->linkState(), Telso::LinkDown, 10000);
    QVERIFY(noticePixels(body.diagram()->grab().toImage()) > 0);
}

void TestLink::timedActionsWhileDisconnected()
{
    TempWorkDir dir;
    loadConfig(dir, "TELSO_RECONNECT 0\nVALVE 1 0 N2 1 L1 Dev ch1\nVALVE 2 1 Ar 1 L2 Dev ch2\n");
    Body body;
    QTRY_COMPARE_WITH_TIMEOUT(body.busClient()->linkState(), Telso::LinkDown, 10000);
    aValve *closed = valve(body, 1);
    aValve *open = valve(body, 2);
    open->showStat(true);

    closed->setTimeToOpen(0.001);
    open->setTimeToClose(0.001);
    const auto logText = [&dir] { return QString::fromUtf8(dir.read("log.log")); };
    QTRY_VERIFY_WITH_TIMEOUT(logText().contains(" : Valv [N2 L1] : time to open came while not connected to the "
                                                "server; nothing was sent\n"),
                             10000);
    QTRY_VERIFY_WITH_TIMEOUT(logText().contains(" : Valv [Ar L2] : time to close came while not connected to the "
                                                "server; nothing was sent\n"),
                             10000);
    QVERIFY(!closed->isOn());
    QVERIFY(open->isOn());
    QVERIFY(!closed->openTimer->isActive());
    QVERIFY(!open->closeTimer->isActive());
}

void TestLink::japaneseTexts()
{
    QTranslator translator;
    QVERIFY(loadCatalogue(translator));
    QVERIFY(QCoreApplication::installTranslator(&translator));
    QCOMPARE(QCoreApplication::translate("Body", "Not connected: nothing was sent"),
             QStringLiteral("未接続のため、何も送信されませんでした"));
    QCOMPARE(QCoreApplication::translate("Body", "Disconnected"), QStringLiteral("未接続"));
    {
        TempWorkDir dir;
        FakeServer server;
        loadConfig(dir, serverAt(server.port()) + "NAME_ON_TELSO Plant\n");
        Body body;
        QTRY_COMPARE_WITH_TIMEOUT(body.linkText(), QStringLiteral("Plant としてログイン済み"), 10000);
    }
    QCoreApplication::removeTranslator(&translator);
}

QTEST_MAIN(TestLink)
#include "tst_link.moc"
