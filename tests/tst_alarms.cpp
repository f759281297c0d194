// Alarms as the operator meets them: the latched list in every order, the flow alarm on the MFC panel and in the
// diagram, the events file, and files that cannot be written.
#include "diagram/gview.h"
#include "mfc/amfc.h"
#include "support/configtext.h"
#include "support/livepanel.h"
#include "valves/avalve.h"
#include "window/alarmlist.h"
#include "window/checkedappend.h"
#include "window/eventhistory.h"
#include "window/historywindow.h"
#include "window/trendmodel.h"

#include <QAction>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QToolButton>
#include <QToolTip>
#include <QtTest>

namespace {

const QByteArray plant = "VALVE 1 0 N2 1.0 Main VBox ch1 20 20 4 4\nMFC 1 0 N2 1.0 MFC1 MBox c1 40 70 8 6 0 0\n"
                         "CONNECT VALVE 1 MFC 1\nTELSO_CH Line1 MFC 1\nLINK_TIMEOUT 0\n"
                         "CONFIRM_TIMEOUT 600\nDEVICE_POLL 0\n"; // no device marks: the fake server never answers
const QColor alarmRed(220, 0, 0);

// The panel as shown once the layout has taken in its last change: on a
// slow run the pending layout pass may not have run yet.
QImage settled(QWidget *w)
{
    for (int pass = 0; pass < 3; ++pass)
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    return w->grab().toImage();
}

} // namespace

class TestAlarms : public QObject
{
    Q_OBJECT

private slots:
    void latching_data();
    void latching();
    void flowAlarmOnScreen();
    void historyLines();
    void unwritableFiles_data();
    void unwritableFiles();
};

void TestAlarms::latching_data()
{
    QTest::addColumn<QStringList>("steps"); // "raise K [minor]", "clear K", "ack K", "ackall"
    QTest::addColumn<QString>("counter");
    QTest::addColumn<QString>("rows"); // each row: key, active (A) or cleared (C), acknowledged (+) or not (-)

    using L = QStringList;
    QTest::newRow("raised") << L{"raise a"} << "1 alarm, 1 unacknowledged" << "aA-";
    QTest::newRow("cleared, not acknowledged") << L{"raise a", "clear a"} << "1 alarm, 1 unacknowledged" << "aC-";
    QTest::newRow("acknowledged, still active") << L{"raise a", "ack a"} << "1 alarm, 0 unacknowledged" << "aA+";
    QTest::newRow("cleared then acknowledged") << L{"raise a", "clear a", "ack a"} << "" << "";
    QTest::newRow("acknowledged then cleared") << L{"raise a", "ack a", "clear a"} << "" << "";
    QTest::newRow("raised twice") << L{"raise a", "raise a"} << "1 alarm, 1 unacknowledged" << "aA-";
    QTest::newRow("back before acknowledged") << L{"raise a", "clear a", "raise a"} << "2 alarms, 2 unacknowledged" << "aC- aA-";
    QTest::newRow("acknowledge all") << L{"raise a", "raise b minor", "clear b", "ackall"} << "1 alarm, 0 unacknowledged"
                                     << "aA+";
    QTest::newRow("clear unknown, ack twice") << L{"clear x", "raise c invalid", "ack c", "ack c"}
                                              << "1 alarm, 0 unacknowledged" << "cA+";
}

void TestAlarms::latching()
{
    QFETCH(QStringList, steps);
    QFETCH(QString, counter);
    QFETCH(QString, rows);

    AlarmList list("op", [] { return QDateTime(QDate(2026, 12, 6), QTime(10, 0)); });
    // A changed row is announced whole, so a view shows every column of it anew.
    connect(&list, &QAbstractItemModel::dataChanged, this, [&list](const QModelIndex &from, const QModelIndex &to) {
        QVERIFY(from.column() == 0 && to.column() == list.columnCount() - 1 && from.row() == to.row());
    });
    for (const QString &step : steps) {
        const QStringList w = step.split(' ');
        if (w[0] == "raise")
            list.raise(w[1], "src " + w[1],
                       w.value(2) == "minor"     ? AlarmInterval::Minor
                       : w.value(2) == "invalid" ? AlarmInterval::Invalid
                                                 : AlarmInterval::Major, "t");
        else if (w[0] == "clear")
            list.clear(w[1]);
        else if (w[0] == "ackall")
            list.acknowledgeAll();
        for (int row = 0; w[0] == "ack" && row < list.rowCount(); ++row)
            if (list.alarm(row).key == w[1])
                list.acknowledge(row);
    }
    QStringList got;
    for (int row = 0; row < list.rowCount(); ++row) {
        const AlarmList::Alarm &a = list.alarm(row);
        got << a.key + (a.active ? "A" : "C") + (a.acknowledged() ? "+" : "-");
        if (a.acknowledged())
            QCOMPARE(list.data(list.index(row, AlarmList::Acknowledged)).toString(), "op at 2026-12-06 10:00:00");
    }
    QCOMPARE(got.join(' '), rows);
    QCOMPARE(list.counterText(), counter);
    const AlarmList::Severity worst = list.worst(); // a is major, b minor, c invalid; an empty list counts as minor
    QCOMPARE(AlarmList::severityText(worst) + AlarmList::colour(worst).name() + AlarmList::textColour(worst).name(),
             rows.contains('a') ? "Major#dc0000#ffffff" : rows.contains('c') ? "Invalid#ff00ff#ffffff" : "Minor#ffe600#000000");
}

// The flow check's alarm shows on the panel and in the diagram within a second, the panel looks as before once
// the flow is normal again, and the alarm stays listed until acknowledged.
void TestAlarms::flowAlarmOnScreen()
{
    LivePanel p(plant);
    p.diagramImage(); // at its size before the panel's first look is taken
    p.mfc()->setCheckHoldInterval(100);
    QVERIFY(p.server.waitForLogin());
    auto *floating = p.mfc()->findChild<QLineEdit *>("Floating");
    p.server.send("MBox.c1>Kestrune _ChangedSettingValue 50");
    p.server.send("MBox.c1>Kestrune _ChangedValue 50");
    QTRY_COMPARE_WITH_TIMEOUT(floating->text(), QString(" 50.0"), 10000);
    QTRY_VERIFY_WITH_TIMEOUT(!p.mfc()->checkHeld, 10000);
    const QImage normal = settled(p.mfc());
    // The diagram maps (40, 70) +- (8, 6) onto 400 x 300: the figure's left edge is at x 128, y 72..108.
    const QRect leftOfFigure(118, 80, 8, 20);
    const auto red = [](const QColor &c) { return c == alarmRed; };
    QCOMPARE(countPixels(p.diagramImage(), leftOfFigure, red), 0);

    p.server.send("MBox.c1>Kestrune _ChangedValue 0");
    QTRY_VERIFY_WITH_TIMEOUT(p.mfc()->flowAbnormal(), 1000);
    QCOMPARE(floating->grab().toImage().pixelColor(4, floating->height() / 2), alarmRed);
    QVERIFY(countPixels(p.diagramImage(), leftOfFigure, red) > 0);
    QHelpEvent help(QEvent::ToolTip, QPoint(160, 90), p.body->diagram()->mapToGlobal(QPoint(160, 90)));
    QCoreApplication::sendEvent(p.body->diagram(), &help); // over the MFC's figure
    QVERIFY2(QToolTip::text().startsWith(p.mfc()->flowAlarmText() + " (since "), qPrintable(QToolTip::text()));
    QVERIFY(floating->toolTip().startsWith("Flow abnormal: measured 0.0 against set point 50.0 (since "));

    p.server.send("MBox.c1>Kestrune _ChangedValue 50");
    QTRY_VERIFY_WITH_TIMEOUT(!p.mfc()->flowAbnormal(), 1000);
    QCOMPARE(settled(p.mfc()), normal);
    QCOMPARE(countPixels(p.diagramImage(), leftOfFigure, red), 0);
    QCOMPARE(p.body->findChild<QToolButton *>("alarmCounter")->text(), QString("1 alarm, 1 unacknowledged"));
    // Acknowledged from the alarm window the counter opens.
    p.body->findChild<QToolButton *>("alarmCounter")->click();
    auto *view = p.body->findChild<QWidget *>("alarmWindow")->findChild<QTableView *>();
    QStringList row;
    for (int c = AlarmList::SeverityColumn; c < AlarmList::ColumnCount; ++c)
        row << view->model()->headerData(c, Qt::Horizontal).toString() + '=' + view->model()->index(0, c).data().toString();
    const QString text = "Flow abnormal: measured 0.0 against set point 50.0";
    QCOMPARE(row.join('|'), "Severity=Major|Source=MFC1 (MBox.c1)|Alarm=" + text + "|State=Cleared|Acknowledged=No");
    QCOMPARE(view->model()->index(0, AlarmList::SeverityColumn).data(Qt::BackgroundRole).value<QColor>(), alarmRed);
    QVERIFY(view->model()->index(0, 0).data(Qt::ToolTipRole).toString().startsWith("MFC1 (MBox.c1): " + text + ", raised 20"));
    view->selectRow(0);
    view->parentWidget()->findChild<QPushButton *>()->click();
    QCOMPARE(p.body->alarms()->rowCount(), 0);
    const QList<AlarmInterval> shaded = p.body->trends()->alarms();
    QVERIFY(shaded.size() == 1 && !shaded[0].active() && shaded[0].source.startsWith("MFC1 (MBox.c1): "));
}

void TestAlarms::historyLines()
{
    ClockGuard guard;
    const QDateTime now(QDate(2026, 12, 6), QTime(10, 0, 0, 123));
    Body::clock = [now] { return now; };
    LivePanel p(plant + "TIME_TO_CLOSE VALVE 1 1\nTELSO_RECONNECT 0\n");
    QVERIFY(p.server.waitForLogin());
    QTRY_VERIFY_WITH_TIMEOUT(p.body->eventHistory()->events().size() == 1, 10000);
    p.server.send("Client.1>Kestrune.Line1 SetNewGas N2 50");
    p.server.send("Client.3>Kestrune.Line1 SetPurge 1");
    QTRY_VERIFY_WITH_TIMEOUT(p.body->eventHistory()->events().size() == 3, 10000);
    p.valve()->findChild<QPushButton *>("B")->click();
    for (const char *purge : {"1", "2.000001"}) { // the first changes nothing; the second shows six digits
        p.mfc()->findChild<QLineEdit *>("Purge")->setText(purge);
        emit p.mfc()->findChild<QLineEdit *>("Purge")->editingFinished();
    }
    p.valve()->actionTimeToClose();
    p.body->findChild<QAction *>("actionRemoteControl")->setChecked(false);
    p.server.send("Client.2>Kestrune.Line1 SetPurge 2");
    QTRY_VERIFY_WITH_TIMEOUT(p.body->eventHistory()->events().size() == 7, 10000);
    p.body->alarms()->raise("k", "Src", AlarmInterval::Major, "Te\txt"); // a field never holds a tab
    p.body->alarms()->acknowledge(0);
    p.body->alarms()->clear("k");
    p.body->findChild<QPushButton *>("StopAll")->click();
    p.server.disconnectClient();
    QTRY_VERIFY_WITH_TIMEOUT(p.body->eventHistory()->events().size() == 14, 10000);

    const QString t = "2026-12-06 10:00:00.123\t";
    const QStringList expected = {
        t + "LINK\tServer link\tLogged in as Kestrune",
        t + "REQUEST\tClient.1\tSetNewGas N2 50 via MFC1 (MBox.c1): Ok: 50",
        t + "REQUEST\tClient.3\tSetPurge 1 via MFC1 (MBox.c1): Ok:",
        t + "OPERATOR\tN2 Main (VBox ch1)\tClose button",
        t + "OPERATOR\tMFC1 (MBox.c1)\tPurge magnification 2",
        t + "TIMED\tN2 Main (VBox ch1)\tTimed closing carried out",
        t + "REFUSED\tClient.2\tSetPurge 2: remote control is off",
        t + "ALARM\tSrc\tTe xt",
        t + "ACK\tSrc\tTe xt, by " + p.body->alarms()->userName(),
        t + "CLEARED\tSrc\tTe xt",
        t + "OPERATOR\tPanel\tStop All",
        t + "ALARM\tStop All\tNot confirmed by N2 Main, MFC1", // the link went before the answers
        t + "ALARM\tServer link\tConnection to the server lost",
        t + "LINK\tServer link\tConnection lost",
    };
    const QStringList got = QString::fromUtf8(p.dir.read("Kestrune-events-20261206.log")).split('\n');
    QCOMPARE(got.mid(0, expected.size()), expected);
    CheckedAppend file("History file"); // the list read back at the next start
    const EventHistory::Event read = EventHistory("Kestrune", [now] { return now; }, &file).events().value(1);
    QCOMPARE(read.source + '|' + read.text, QString("Client.1|SetNewGas N2 50 via MFC1 (MBox.c1): Ok: 50"));

    p.body->showHistory(); // newest first, narrowed by the filter
    QVERIFY(p.body->historyWindow()->isVisible());
    QCOMPARE(p.body->historyWindow()->filterField()->placeholderText(), "Filter");
    p.body->historyWindow()->filterField()->setText("client.");
    const QAbstractItemModel *shown = p.body->historyWindow()->table()->model();
    QCOMPARE(shown->rowCount(), 3);
    QCOMPARE(shown->index(0, 1).data().toString() + ' ' + shown->index(0, 2).data().toString(), "Refused Client.2");
    p.body->historyWindow()->filterField()->clear();
    p.body->eventHistory()->setKept(14); // the oldest goes from the list, not from the file
    p.body->findChild<QPushButton *>("StopAll")->click(); // shown as it comes
    QStringList kinds; // newest first, in the operator's words
    for (int row = 0; row < shown->rowCount(); ++row)
        kinds << shown->index(row, 1).data().toString();
    QCOMPARE(kinds.join(' '), "Operator Link Alarm Alarm Operator Cleared Acknowledged Alarm Refused Timed Operator "
                              "Operator Request Request");
    // A new day starts a new list.
    Body::clock = [now] { return now.addDays(1); };
    p.body->findChild<QPushButton *>("StopAll")->click();
    QCOMPARE(shown->rowCount(), 1);
    p.body->findChild<QAction *>("actionRemoteControl")->setChecked(true);
    const QByteArray log = p.dir.read("log.log");
    QVERIFY(log.contains(" : Remote control switched off by the operator: local control\n") &&
            log.contains(" : Remote control switched on by the operator\n"));
}

void TestAlarms::unwritableFiles_data()
{
    QTest::addColumn<QString>("pattern"); // the file's name, yyyyMMdd for today
    QTest::addColumn<QString>("source");
    QTest::newRow("record file") << "Kestrune-%1.log" << "Record file";
    QTest::newRow("events file") << "Kestrune-events-%1.log" << "History file";
}

// A directory in the way of the file: the alarm stands while writes fail, the panel goes on, a good write clears it.
void TestAlarms::unwritableFiles()
{
    QFETCH(QString, pattern);
    QFETCH(QString, source);
    TempWorkDir dir;
    loadConfig(dir, plant);
    const QString name = pattern.arg(QDate::currentDate().toString("yyyyMMdd"));
    QVERIFY(QDir(dir.path()).mkdir(name));
    Body body;
    const auto write = [&body] {
        body.findChild<QPushButton *>("StopAll")->click(); // an event; not connected, so nothing is sent
        body.record();
    };
    write();
    QVERIFY(body.alarms()->rowCount() == 1 && body.alarms()->alarm(0).active);
    QCOMPARE(body.alarms()->alarm(0).source, source);
    QVERIFY(QDir(dir.path()).rmdir(name));
    write();
    QVERIFY(!body.alarms()->alarm(0).active && QFile::exists(dir.filePath(name)));
}

QTEST_MAIN(TestAlarms)
#include "tst_alarms.moc"
