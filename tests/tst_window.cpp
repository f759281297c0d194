#include "diagram/gview.h"
#include "mfc/amfc.h"
#include "bus/remoteaccess.h"
#include "support/configtext.h"
#include "support/livepanel.h"
#include "valves/avalve.h"

#include <QLineEdit>
#include <QMessageBox>
#include <QStatusBar>
#include <QPushButton>
#include <QtTest>

namespace {

const QByteArray plant = "VALVE 1 0 N2 1 L1 Dev ch1\nVALVE 2 1 Ar 1 L2 Dev ch2 0 0 0 0 N_ON\nMFC 1 0 N2 1 M1 MF c1\n"
                         "NODE 1 - 0 J\nTELSO_CH Line1 VALVE 1\n";

} // namespace

class TestWindow : public QObject
{
    Q_OBJECT

private slots:
    void statAndStopAll();
    void localControlSwitch();
    void keyboard();
};

void TestWindow::statAndStopAll()
{
    {
        LivePanel empty("");
        QVERIFY(empty.server.waitForLogin());
        empty.server.send("C>Kestrune Stat");
        QCOMPARE(empty.next(1), QStringList{"Kestrune>C @Stat "});
    }

    LivePanel live(plant + "EXCLUSIVE 1 2\n");
    QCOMPARE(live.next(8).size(), 8);
    live.body->findChild<QAction *>("actionControllTimeToOpenClose")->trigger(); // sends nothing
    live.server.send("C>Kestrune.Nobody Stat");
    live.server.send("C>Kestrune Stat");
    QCOMPARE(live.next(1), QStringList{"Kestrune>C @Stat V[N2 L1,Close] V[Ar L2,Open] M[M1,0,0]"});

    static_cast<aMFC *>(live.body->findNode(1, aNode::MFC))->setSetPointText("12");
    QCOMPARE(live.next(2).size(), 2);
    QTest::mouseClick(live.body->findChild<QPushButton *>("StopAll"), Qt::LeftButton);
    QCOMPARE(live.next(5), (QStringList{"Kestrune.1>Dev ChOff ch1", "Kestrune.Line1>System _EvNewStat Valve 0",
                                        "Kestrune.2>Dev ChOn ch2", "Kestrune.1>MF.c1 SetRunMode 2",
                                        "Kestrune.1>MF.c1 SetValue 0"}));
    QVERIFY(!live.valve(2)->isOn());

    // Opening one of exclusive valves closes the other and says why, in one box that leaves the window usable.
    live.valve(2)->vOpen();
    QVERIFY(!live.body->exclusiveBox()->isVisible());
    live.valve(1)->vOpen();
    QVERIFY(live.body->exclusiveBox()->isVisible() && !live.body->exclusiveBox()->isModal());
    QCOMPARE(live.body->exclusiveBox()->windowTitle() + ": " + live.body->exclusiveBox()->text(),
             QString("Exclusive Valves: To open the exclusively controlled valves, change Settings."));
    live.valve(2)->vOpen(); // shown again while shown: still the one box
    QCOMPARE(live.body->findChildren<QMessageBox *>().size() + (live.body->exclusiveBox()->parent() ? 0 : 1), 1);
}

// Local control refuses other clients' changes, never the operator's own.
void TestWindow::localControlSwitch()
{
    LivePanel live(plant + "REMOTE_CONTROL off\n");
    QCOMPARE(live.next(8).size(), 8);
    auto *action = live.body->findChild<QAction *>("actionRemoteControl");
    const auto statusTexts = [&] {
        QStringList texts;
        for (QLabel *label : live.body->statusBar()->findChildren<QLabel *>())
            texts << (label->isVisible() ? label->text() : QString());
        return texts;
    };
    QVERIFY(!action->isChecked() && statusTexts().contains("Remote control off"));

    live.server.send("C.p>Kestrune.Line1 SetNewGas N2 5");
    live.server.send("C.p>Kestrune.Line1 GetNowGas");
    QCOMPARE(live.next(2),
             (QStringList{"Kestrune.Line1>C.p Er:remote control is off", "Kestrune.Line1>C.p @GetNowGas 0 N2"}));
    QVERIFY(statusTexts().contains("Refused requests: 1"));
    QTest::mouseClick(live.body->findNode(1, aNode::Valve)->findChild<QPushButton *>("B"), Qt::LeftButton);
    QCOMPARE(live.next(2).first(), "Kestrune.1>Dev ChOn ch1");

    live.body->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(live.body.get()));
    QTest::keyClick(live.body.get(), Qt::Key_R, Qt::ControlModifier);
    QVERIFY(action->isChecked() && live.body->remoteAccess()->remoteControl());
    QVERIFY(statusTexts().contains("Remote control on"));
    live.server.send("C.p>Kestrune.Line1 SetNewGas N2 0");
    QCOMPARE(live.next(3).last(), "Kestrune.Line1>C.p Ok: 0");
    action->trigger();
    QVERIFY(!live.body->remoteAccess()->remoteControl() && statusTexts().contains("Remote control off"));
}

void TestWindow::keyboard()
{
    TempWorkDir dir;
    // MFC panel on top, the MFC of column 0 defined last; the valve below.
    loadConfig(dir,
               "VALVE 1 0 N2 1 V1 Dev ch1\nTIME_TO_CLOSE VALVE 1 2\nMFC 1 1 N2 1 M1 MF c1\nMFC 2 0 N2 1 M2 MF c2\n");
    Body body;
    QVERIFY(QTest::qWaitForWindowActive(&body));
    auto where = [](QWidget *w) {
        for (QWidget *p = w; p; p = p->parentWidget())
            if (auto *node = qobject_cast<aNode *>(p))
                return node->label + "." + w->objectName();
        return w ? w->objectName() : QString();
    };
    QStringList order;
    body.findNode(2, aNode::MFC)->findChild<QLineEdit *>("NewSetPoint")->setFocus();
    for (int i = 0; i < 12; ++i) {
        order << where(QApplication::focusWidget());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    // Reading order, read-only and hidden fields skipped, round to the start.
    QCOMPARE(order.join(", "),
             QString("M2.NewSetPoint, M2.Purge, M2.InfoB, M2.UpdateSetPoint, M1.NewSetPoint, M1.Purge, M1.InfoB, "
                     "M1.UpdateSetPoint, N2 V1.B, N2 V1.DispTimeToClose, StopAll, M2.NewSetPoint"));

    QLineEdit *setPoint = body.findNode(1, aNode::MFC)->findChild<QLineEdit *>("NewSetPoint");
    setPoint->setText("5O");
    QTest::keyClick(setPoint, Qt::Key_Return);
    QCOMPARE(body.statusBar()->currentMessage(), QString("M1: \"5O\" is not a number; nothing was sent"));
    QTest::keyClick(setPoint, Qt::Key_F12); // Stop All, refused while offline
    QTRY_COMPARE(body.statusBar()->currentMessage(), QString("Not connected: nothing was sent"));

    // Room goes to the diagram, not to the panels; shrunk, the plant stays in sight.
    QWidget *mfc = body.findNode(1, aNode::MFC);
    QWidget *valve = body.findNode(1, aNode::Valve);
    body.resize(1900, 1000);
    QTRY_VERIFY(body.diagram()->width() > 1800);
    QCOMPARE(mfc->width(), mfc->sizeHint().width());
    QVERIFY(valve->findChild<QWidget *>("DispTimeToClose")->isVisible());
    QCOMPARE(valve->width(), valve->sizeHint().width()); // its time field would take the rest
    body.resize(body.minimumSizeHint());
    QTRY_VERIFY(body.diagram()->height() >= 80);
}

QTEST_MAIN(TestWindow)
#include "tst_window.moc"
