// The panel shows the hardware as it is: it follows switches made behind its back, and marks a valve that does not
// move and a device that does not answer, on its panel, in the diagram and in Stop All.
#include "mfc/amfc.h"
#include "support/livepanel.h"
#include "valves/avalve.h"
#include "window/eventhistory.h"

#include <QLabel>
#include <QLineEdit>
#include <QStatusBar>
#include <QtTest>

namespace {

const QByteArray plant = "VALVE 1 0 N2 1.0 Main VBox ch1 20 20 4 4\nMFC 1 0 N2 1.0 MFC1 MBox c1 40 70 8 6 0 0\n"
                         "NODE 1 - 0 J1 40 45 6 3\nCONNECT VALVE 1 NODE 1\nCONNECT NODE 1 MFC 1\n"
                         "TELSO_CH Line1 MFC 1\nTELSO_CH N2a VALVE 1\nTELSO_CH N2b VALVE 1\n";
const QColor closedPen(170, 150, 0), magenta(255, 0, 255);

} // namespace

class TestE2EMarks : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(live.server.waitForLines(6)); // the synchronisation, answered
        live.server.send("VBox>Kestrune.1 @IsOn ch1 0");
        live.server.send("MBox.c1>Kestrune.1 @GetSettingValue 0");
    }

    void followsASwitchBehindItsBack()
    {
        live.server.send("VBox>Kestrune _ChangedIsOn ch1 1");
        QTRY_VERIFY_WITH_TIMEOUT(live.server.lines().contains("Kestrune.N2b>System _EvNewStat Valve 1"), 10000);
        const qsizetype rows = recordRows();
        live.server.clearLines();
        live.server.send("VBox>Kestrune _ChangedIsOn ch1 0");
        QTRY_VERIFY_WITH_TIMEOUT(!live.valve()->isOn(), 10000);
        QCOMPARE(button()->text(), QString("Closing"));
        QCOMPARE(diagramPixelsOf(closedPen, QRect(figure1().topLeft(), QSize(3, 1))), 3);
        QCOMPARE(recordRows(), rows + 1);
        QTRY_COMPARE_WITH_TIMEOUT(live.server.lines(), (QStringList{"Kestrune.N2a>System _EvNewStat Valve 0",
                                                               "Kestrune.N2b>System _EvNewStat Valve 0"}),
                                  10000);
    }

    void stuckValveIsMarked()
    {
        live.server.clearLines();
        QTest::mouseClick(button(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(live.server.lines().contains("Kestrune.1>VBox IsOn ch1"), 10000); // the read-back
        live.server.send("VBox>Kestrune.1 @IsOn ch1 0");
        QTRY_VERIFY_WITH_TIMEOUT(live.valve()->mark() == DeviceWatch::Mismatch && !live.valve()->isOn(), 10000);
        QCOMPARE(button()->text(), QString("Closing ?"));
        QVERIFY2(button()->toolTip().contains("VBox ch1 reports closed after \"ChOn ch1\""),
                 qPrintable(button()->toolTip()));
        QVERIFY(diagramPixelsOf(magenta, figure1().adjusted(-7, -7, 7, 7)) > 0);
        const QRect glyph(figure1().right() + 7, figure1().top() - 21, 16, 16); // the "?", right of the frame
        QVERIFY(diagramPixelsOf(magenta, glyph) > 0);
        QCOMPARE(diagramPixelsOf(magenta, glyph.adjusted(10, 0, 0, 0)), 0);

        QTest::mouseClick(button(), Qt::LeftButton);
        live.server.send("VBox>Kestrune _ChangedIsOn ch1 1");
        QTRY_VERIFY_WITH_TIMEOUT(live.valve()->mark() == DeviceWatch::NoMark && live.valve()->isOn(), 10000);
        QCOMPARE(button()->text(), QString("Opening"));
    }

    void silentMfcIsMarked()
    {
        const qsizetype rows = recordRows();
        live.mfc()->findChild<QLineEdit *>("NewSetPoint")->setText("20");
        QTest::mouseClick(live.mfc()->findChild<QPushButton *>("UpdateSetPoint"), Qt::LeftButton);
        QCOMPARE(live.body->eventHistory()->events().constLast().text, QString("Set 20")); // the operator's action
        QTRY_COMPARE_WITH_TIMEOUT(live.mfc()->mark(), DeviceWatch::NoAnswer, 10000);
        const QDateTime markedAt = live.mfc()->markSince(); // and stands since then, whatever is asked next
        QVERIFY(markedAt.isValid());
        const auto *state = live.mfc()->findChild<QLabel *>("OCStat");
        QCOMPARE(state->text(), QString("Closing ?"));
        QVERIFY2(state->toolTip().startsWith("MFC1: no answer from MBox.c1 to \"SetValue 20\" since "),
                 qPrintable(state->toolTip()));
        QCOMPARE(recordRows(), rows); // a mark is no change of state

        live.server.clearLines();
        live.server.send("C.3>Kestrune.Line1 SetNewGas N2 30");
        QTRY_VERIFY_WITH_TIMEOUT(live.server.lines().contains("Kestrune.Line1>C.3 Ok: 30"), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(live.mfc()->markText().contains("\"SetValue 30\""), 10000);
        QCOMPARE(live.mfc()->markSince(), markedAt);
        live.server.send("MBox.c1>Kestrune _ChangedSettingValue 30");
        QTRY_COMPARE_WITH_TIMEOUT(live.mfc()->mark(), DeviceWatch::NoMark, 10000);
        QCOMPARE(state->text(), QString("Opening"));
    }

    void stopAllNamesTheSilent()
    {
        QTest::mouseClick(live.body->findChild<QPushButton *>("StopAll"), Qt::LeftButton);
        QCOMPARE(live.body->statusBar()->currentMessage(), QString("Stop All: waiting for every valve and MFC to confirm"));
        live.server.send("VBox>Kestrune _ChangedIsOn ch1 0");
        QTRY_COMPARE_WITH_TIMEOUT(live.body->statusBar()->currentMessage(), QString("Stop All: no confirmation from MFC1"),
                                  10000);
        QCOMPARE(live.mfc()->mark(), DeviceWatch::NoAnswer);
        QTest::mouseClick(live.body->findChild<QPushButton *>("StopAll"), Qt::LeftButton);
        live.server.send("VBox>Kestrune.1 @IsOn ch1 0");
        live.server.send("MBox.c1>Kestrune _ChangedSettingValue 0");
        QTRY_COMPARE_WITH_TIMEOUT(live.body->statusBar()->currentMessage(),
                                  QString("Stop All: every valve and MFC confirmed"), 10000);
    }

private:
    QPushButton *button() const { return live.valve()->findChild<QPushButton *>("B"); }
    // Valve 1's figure in the 400 x 300 diagram: x 16..24, y 16..24 of 100 x 100 units.
    static QRect figure1() { return QRect(QPoint(64, 300 - 72), QPoint(96, 300 - 48)); }

    int diagramPixelsOf(const QColor &colour, const QRect &area)
    {
        return countPixels(live.diagramImage(), area, [&](const QColor &c) { return c == colour; });
    }

    qsizetype recordRows() const { return live.dir.read(live.body->recordFileName(QDate::currentDate())).count('\n') - 1; }

    LivePanel live{plant + "CONFIRM_TIMEOUT 0.5\nDEVICE_POLL 0\n"};
};

QTEST_MAIN(TestE2EMarks)
#include "tst_e2e_marks.moc"
