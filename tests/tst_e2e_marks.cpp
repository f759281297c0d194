// Against the stand-in plant the panel shows the hardware as it is: it follows switches made behind its back, and
// marks a valve that does not move and a device that does not answer.
#include "diagram/gview.h"
#include "mfc/amfc.h"
#include "support/buspeer.h"
#include "support/configtext.h"
#include "support/simprocess.h"
#include "support/tempworkdir.h"
#include "valves/avalve.h"
#include "window/body.h"

#include <QLabel>
#include <QLineEdit>
#include <QStatusBar>
#include <QtTest>

#include <memory>

namespace {

const QByteArray plant = "VALVE 1 0 N2 1.0 Main VBox ch1 20 20 4 4\nVALVE 2 1 Ar 1.0 Main VBox ch2 60 20 4 4\n"
                         "MFC 1 0 N2 1.0 MFC1 MBox c1 40 70 8 6 0 0\nNODE 1 - 0 J1 40 45 6 3\n"
                         "CONNECT VALVE 1 NODE 1\nCONNECT VALVE 2 NODE 1\nCONNECT NODE 1 MFC 1\n"
                         "TELSO_CH Line1 MFC 1\nTELSO_CH N2a VALVE 1\nTELSO_CH N2b VALVE 1\n";
const QColor closedPen(170, 150, 0), magenta(255, 0, 255);

} // namespace

class TestE2EMarks : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY2(sim.start({"-c", dir.write("sim.cfg", plant)}), qPrintable(sim.errorText()));
        loadConfig(dir, plant + "TELSO_IP 127.0.0.1\nCONFIRM_TIMEOUT 1.5\nDEVICE_POLL 4\nTELSO_PORT " +
                            QByteArray::number(sim.port()));
        body = std::make_unique<Body>();
        body->diagram()->setFixedSize(400, 300);
        QVERIFY(sim.waitForLine("<- Kestrune: Kestrune.1>MBox.c1 GetSettingValue", 20000));
        QVERIFY(client.join(sim.port(), "Client"));
        ask("Client.0>System flgon Kestrune");
    }

    void followsASwitchBehindItsBack()
    {
        ask("Client.1>Sim SetChannel VBox ch1 1");
        QTRY_VERIFY_WITH_TIMEOUT(valve1()->isOn(), 10000);
        const qsizetype rows = recordRows(), lines = client.lines().size();
        client.send("Client.1>Sim SetChannel VBox ch1 0");
        QTRY_VERIFY_WITH_TIMEOUT(!valve1()->isOn(), 1000);
        QCOMPARE(button()->text(), QString("Closing"));
        QCOMPARE(diagramPixelsOf(closedPen, QRect(figure1().topLeft(), QSize(3, 1))), 3);
        QVERIFY(ask("Client.2>Kestrune Stat").startsWith("Kestrune>Client.2 @Stat V[N2 Main,Close] "));
        QCOMPARE(recordRows(), rows + 1);
        const QStringList events = client.lines().mid(lines).filter("_NewStat Valve 0");
        QCOMPARE(events, QStringList({"Kestrune.N2a>Client _NewStat Valve 0", "Kestrune.N2b>Client _NewStat Valve 0"}));
    }

    void stuckValveIsMarked()
    {
        ask("Client.1>Sim Stick VBox.ch1");
        QTest::mouseClick(button(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(valve1()->mark() == DeviceWatch::Mismatch && !valve1()->isOn(), 5000);
        QCOMPARE(button()->text(), QString("Closing ?"));
        QVERIFY2(button()->toolTip().contains("VBox ch1 reports closed after \"ChOn ch1\""),
                 qPrintable(button()->toolTip()));
        QVERIFY(diagramPixelsOf(magenta, figure1().adjusted(-7, -7, 7, 7)) > 0);

        ask("Client.1>Sim Unstick VBox.ch1");
        QTest::mouseClick(button(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(valve1()->mark() == DeviceWatch::NoMark && valve1()->isOn(), 5000);
        QCOMPARE(button()->text(), QString("Opening"));
    }

    void silentMfcIsMarked()
    {
        ask("Client.1>Sim Silence MBox.c1");
        const qsizetype rows = recordRows();
        mfc()->findChild<QLineEdit *>("NewSetPoint")->setText("20");
        QElapsedTimer clock;
        clock.start();
        QTest::mouseClick(mfc()->findChild<QPushButton *>("UpdateSetPoint"), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(mfc()->mark(), DeviceWatch::NoAnswer, 2500);
        QVERIFY(clock.elapsed() < 2500);
        const auto *state = mfc()->findChild<QLabel *>("OCStat");
        QCOMPARE(state->text(), QString("Closing ?"));
        QVERIFY2(state->toolTip().startsWith("MFC1: no answer from MBox.c1 to \"SetValue 20\" since "),
                 qPrintable(state->toolTip()));
        QCOMPARE(recordRows(), rows); // a mark is no change of state

        QCOMPARE(ask("Client.3>Kestrune.Line1 SetNewGas N2 30"), QString("Kestrune.Line1>Client.3 Ok: 30"));
        QTRY_VERIFY_WITH_TIMEOUT(mfc()->markText().contains("\"SetValue 30\""), 3000);
        ask("Client.1>Sim Unsilence MBox.c1");
        QTRY_COMPARE_WITH_TIMEOUT(mfc()->mark(), DeviceWatch::NoMark, 8000);
        QCOMPARE(state->text(), QString("Closing"));
    }

    void stopAllNamesTheSilent()
    {
        ask("Client.1>Sim Silence MBox.c1");
        QTest::mouseClick(body->findChild<QPushButton *>("StopAll"), Qt::LeftButton);
        QCOMPARE(body->statusBar()->currentMessage(), QString("Stop All: waiting for every valve and MFC to confirm"));
        QTRY_COMPARE_WITH_TIMEOUT(body->statusBar()->currentMessage(), QString("Stop All: no confirmation from MFC1"),
                                  8000);
        QCOMPARE(mfc()->mark(), DeviceWatch::NoAnswer);
        ask("Client.1>Sim Unsilence MBox.c1");
        QTest::mouseClick(body->findChild<QPushButton *>("StopAll"), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(body->statusBar()->currentMessage(),
                                  QString("Stop All: every valve and MFC confirmed"), 8000);
    }

private:
    // Sends a request and returns the answer addressed to its sender.
    QString ask(const QString &request)
    {
        const QString to = ">" + request.section('>', 0, 0) + " ";
        const qsizetype before = client.lines().size();
        client.send(request);
        if (!QTest::qWaitFor([&] { return !client.lines().mid(before).filter(to).isEmpty(); }, 10000))
            return "<no answer>";
        return client.lines().mid(before).filter(to).first();
    }

    aValve *valve1() const { return static_cast<aValve *>(body->findNode(1, aNode::Valve)); }
    aMFC *mfc() const { return static_cast<aMFC *>(body->findNode(1, aNode::MFC)); }
    QPushButton *button() const { return valve1()->findChild<QPushButton *>("B"); }
    // Valve 1's figure in the 400 x 300 diagram: x 16..24, y 16..24 of 100 x 100 units.
    static QRect figure1() { return QRect(QPoint(64, 300 - 72), QPoint(96, 300 - 48)); }

    int diagramPixelsOf(const QColor &colour, const QRect &area) const
    {
        const QImage image = body->diagram()->grab().toImage();
        int count = 0;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                count += image.pixelColor(x, y) == colour;
        return count;
    }

    qsizetype recordRows() const { return dir.read(body->recordFileName(QDate::currentDate())).count('\n') - 1; }

    TempWorkDir dir;
    SimProcess sim;
    BusPeer client;
    std::unique_ptr<Body> body;
};

QTEST_MAIN(TestE2EMarks)
#include "tst_e2e_marks.moc"
