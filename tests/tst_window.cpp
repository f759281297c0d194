#include "mfc/amfc.h"
#include "nodes/anode.h"
#include "support/configtext.h"
#include "support/fakeserver.h"
#include "support/messagecapture.h"
#include "support/tempworkdir.h"
#include "valves/avalve.h"
#include "window/body.h"

#include <QMessageBox>
#include <QPushButton>
#include <QtTest>

namespace {

QByteArray serverLines(const FakeServer &server)
{
    return "TELSO_IP 127.0.0.1\nTELSO_PORT " + server.portText().toLatin1() + "\n";
}

const QByteArray plant = "VALVE 1 0 N2 1 L1 Dev ch1\n"
                         "VALVE 2 1 Ar 1 L2 Dev ch2 0 0 0 0 N_ON\n"
                         "MFC 1 0 N2 1 M1 MF c1\n"
                         "NODE 1 - 0 J\n"
                         "TELSO_CH Line1 VALVE 1\n";

} // namespace

class TestWindow : public QObject
{
    Q_OBJECT

private slots:
    void statOfWholeProgram();
    void statOfEmptyPlant();
    void stopAll();
    void exclusiveValvesBox();
    void menuActionDoesNothing();
};

void TestWindow::statOfWholeProgram()
{
    TempWorkDir dir;
    FakeServer server;
    loadConfig(dir, serverLines(server) + plant);
    Body body;
    QVERIFY(server.waitForLogin());
    QVERIFY(server.waitForLines(8)); // the hardware synchronisation
    server.clearLines();

    server.send("Client.x>Kestrune.Nobody Stat");
    server.send("Client.x>Kestrune Stat");
    QVERIFY(server.waitForLines(1));
    QCOMPARE(server.lines(), QStringList{"Kestrune>Client.x @Stat V[N2 L1,Close] V[Ar L2,Open] M[M1,0,0]"});
}

void TestWindow::statOfEmptyPlant()
{
    TempWorkDir dir;
    FakeServer server;
    loadConfig(dir, serverLines(server));
    Body body;
    QVERIFY(server.waitForLogin());
    server.send("C>Kestrune Stat");
    QVERIFY(server.waitForLines(1));
    QCOMPARE(server.lines(), QStringList{"Kestrune>C @Stat "});
}

void TestWindow::stopAll()
{
    TempWorkDir dir;
    FakeServer server;
    loadConfig(dir, serverLines(server) + plant);
    Body body;
    QVERIFY(server.waitForLogin());
    QVERIFY(server.waitForLines(8));
    server.clearLines();

    auto *mfc = static_cast<aMFC *>(body.findNode(1, aNode::MFC));
    mfc->setSetPointText("12");
    QVERIFY(server.waitForLines(2));
    server.clearLines();

    QTest::mouseClick(body.findChild<QPushButton *>("StopAll"), Qt::LeftButton);
    const QStringList expected{
        "Kestrune.1>Dev ChOff ch1",
        "Kestrune.Line1>System _EvNewStat Valve 0",
        "Kestrune.2>Dev ChOn ch2",
        "Kestrune.1>MF.c1 SetRunMode 2",
        "Kestrune.1>MF.c1 SetValue 0",
    };
    QVERIFY(server.waitForLines(expected.size()));
    QCOMPARE(server.lines(), expected);
    QVERIFY(!body.findNode(2, aNode::Valve)->isOn());
}

void TestWindow::exclusiveValvesBox()
{
    TempWorkDir dir;
    loadConfig(dir, "VALVE 1 0 N2 1 a\nVALVE 2 1 Ar 1 b\nEXCLUSIVE 1 2\n");
    Body body;
    auto *v1 = static_cast<aValve *>(body.findNode(1, aNode::Valve));
    auto *v2 = static_cast<aValve *>(body.findNode(2, aNode::Valve));
    v2->vOpen();
    QVERIFY(!body.exclusiveBox()->isVisible());
    v1->vOpen();
    QVERIFY(v1->isOn());
    QVERIFY(!v2->isOn());
    QVERIFY(body.exclusiveBox()->isVisible());
    QVERIFY(!body.exclusiveBox()->isModal());
    QCOMPARE(body.exclusiveBox()->windowTitle(), QString("Exclusive Valves"));
    QCOMPARE(body.exclusiveBox()->text(), QString("To open the exclusively controlled valves, change Settings."));
    // Shown again while shown: still the one box.
    v2->vOpen();
    QCOMPARE(body.findChildren<QMessageBox *>().size() + (body.exclusiveBox()->parent() ? 0 : 1), 1);
}

void TestWindow::menuActionDoesNothing()
{
    TempWorkDir dir;
    FakeServer server;
    loadConfig(dir, serverLines(server) + plant);
    Body body;
    QVERIFY(server.waitForLogin());
    QVERIFY(server.waitForLines(8));
    server.clearLines();
    MessageCapture capture;
    body.findChild<QAction *>("actionControllTimeToOpenClose")->trigger();
    QCOMPARE(capture.messages(), QStringList{"aaa"});
    server.send("C>Kestrune Stat");
    QVERIFY(server.waitForLines(1));
    QCOMPARE(server.lines().size(), 1); // only the answer to Stat
}

QTEST_MAIN(TestWindow)
#include "tst_window.moc"
