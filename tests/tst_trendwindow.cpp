#include "config/numbers.h"
#include "mfc/amfc.h"
#include "support/livepanel.h"
#include "support/nodebus.h"
#include "valves/avalve.h"
#include "window/recordreader.h"
#include "window/trendfeed.h"
#include "window/trendmodel.h"
#include "window/trendwindow.h"

#include <QCategoryAxis>
#include <QDateTimeAxis>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>
#include <QValueAxis>
#include <QTreeWidget>
#include <QProcess>
#include <QTcpServer>
#include <QtTest>

namespace {

const QDateTime fixedNow(QDate(2026, 12, 6), QTime(10, 0, 5, 250));

QByteArray row(qint64 s, const QByteArray &fields)
{
    return QByteArray::number(s) + '\t' + fields + "\t# 26/12/06 10.00.00.00\n";
}

} // namespace

class TestTrendWindow : public QObject
{
    Q_OBJECT

private slots:
    void liveCurvesHoldWhatThePanelShowed_data();
    void liveCurvesHoldWhatThePanelShowed();
    void alarmShadingAndReadout();
    void navigation_data();
    void navigation();
    void following();
    void filesAndNames();
    void valueAxis();
    void exportButtons_data();
    void exportButtons();
    void trendOnly_data();
    void trendOnly();
};

void TestTrendWindow::liveCurvesHoldWhatThePanelShowed_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("curve"); // flow, set value, valve
    QTest::addColumn<QString>("field");
    QTest::addColumn<double>("shown");

    // The MFC is fed by a source of factor 1.42: the panel shows device values times 1.42.
    QTest::newRow("flow, rounded as shown") << "Dev1.ch1>Kestrune @GetValue 8.7" << 0 << "Floating" << 12.4;
    QTest::newRow("flow event") << "Dev1.ch1>Kestrune _ChangedValue 100" << 0 << "Floating" << 142.0;
    QTest::newRow("set value") << "Dev1.ch1>Kestrune _ChangedSettingValue 14.26" << 1 << "NowSetPoint" << 20.2;
    QTest::newRow("valve") << "Dev2>Kestrune @IsOn ch1 1" << 2 << QString() << 1.0;
}

void TestTrendWindow::liveCurvesHoldWhatThePanelShowed()
{
    QFETCH(QString, line);
    QFETCH(int, curve);
    QFETCH(QString, field);
    QFETCH(double, shown);

    NodeBus bus;
    aNode source("1", 1, aNode::PlainNode, "N2", 1.42, "N2", {}, {}, 10, 10, 10, 10, nullptr);
    aMFC mfc("3", 0, "N2", 1.0, "MFC1", "Dev1", "ch1", 100, 50, 20, 20, 0, 0, &bus.telso);
    link(&mfc, &source);
    aValve valve("1", 0, "N2", 1.0, "L1", "Dev2", "ch1", 0, 0, 5, 5, &bus.telso, QString());
    TrendModel model;
    TrendFeed feed(&model, {&valve}, {&mfc}, [] { return fixedNow; });
    QVERIFY(bus.login());
    QCOMPARE(model.count(), 3);
    const TrendSeries &s = model.at(curve == 2 ? 0 : curve + 1);
    const qsizetype before = s.times.size();

    bus.settle({line});
    QCOMPARE(s.times.size(), before + 1);
    QCOMPARE(s.times.constLast(), fixedNow.toMSecsSinceEpoch());
    QCOMPARE(s.values.constLast(), shown);
    if (!field.isEmpty())
        QCOMPARE(s.values.constLast(), toDecimal(mfc.findChild<QLineEdit *>(field)->text()));
}

void TestTrendWindow::alarmShadingAndReadout()
{
    TrendModel model;
    model.addRecord("Rec.log", RecordReader().readText("#Time\tMFC1\tN2 L1\n" + row(1000, "5\t0") + row(1040, "6\t1") +
                                                       row(1100, "6\t0")));
    model.addAlarmInterval({"MFC1", 1020000, 1030000, AlarmInterval::Major});
    model.openAlarm("link", AlarmInterval::Minor, 1060000);
    model.closeAlarm("link", 1070000);
    TrendWindow window(&model, nullptr);
    window.resize(900, 600);
    window.show();
    window.setRange(1000000, 1100000);
    QTRY_VERIFY(!window.isBusy());

    auto *plot = window.findChild<TrendPlot *>("FlowPlot");
    const QRectF area = plot->plotRect();
    const QImage image = plot->grab().toImage();
    const auto at = [&](qint64 ms) {
        return image.pixelColor(int(area.left() + area.width() * double(ms - 1000000) / 100000.0), int(area.top()) + 4);
    };
    const QColor major = at(1025000), minor = at(1065000), clear = at(1050000);
    QVERIFY2(major.red() > major.green() + 40 && major.red() > major.blue() + 40, qPrintable(major.name()));
    QVERIFY2(minor.red() > minor.blue() + 40 && minor.green() > minor.blue() + 40, qPrintable(minor.name()));
    QVERIFY2(qAbs(clear.red() - clear.blue()) < 20, qPrintable(clear.name()));
    const int step = int(area.left() + area.width() * 0.4); // 5 to 6: drawn upright where it happens
    QVERIFY(countPixels(image, QRect(step - 1, 0, 3, image.height()), [](QColor c) { return c == 0xd21d1d; }) > 20);
    auto *valves = window.findChild<TrendPlot *>("ValvePlot"); // its lane, labelled: closed low in it, open high
    const QRectF lane = valves->plotRect();
    const auto valveDrawn = [](QColor c) { return c == 0x17a53f; };
    for (const auto &[ms, level] : {std::pair{1020000, 0.85}, {1070000, 0.15}}) {
        const QPointF at(lane.left() + lane.width() * (ms - 1000000) / 1e5, lane.top() + lane.height() * level);
        QVERIFY(countPixels(valves->grab().toImage(), QRect(int(at.x()), int(at.y()) - 2, 1, 5), valveDrawn));
    }
    auto *lanes = qobject_cast<QCategoryAxis *>(static_cast<QChartView *>(valves)->chart()->axes(Qt::Vertical)[0]);
    QCOMPARE(QString("%1..%2 %3").arg(lanes->min()).arg(lanes->max()).arg(lanes->categoriesLabels().join('|')),
             "0..1 N2 L1");

    const QStringList before{"5", "closed"}, after{"6", "open"}, past{"-", "-"};
    for (const auto &[ms, expected] : {std::pair{1039999LL, before}, {1040000LL, after}, {1200000LL, past}}) {
        window.setCursorTime(ms);
        QCOMPARE((QStringList{window.readout(0), window.readout(1)}), expected);
    }
    QCOMPARE(window.findChild<QLabel *>("CursorLabel")->text(),
             QDateTime::fromMSecsSinceEpoch(1200000).toString("'Cursor: 'yyyy-MM-dd hh:mm:ss.zzz"));
    // The cursor is drawn where it reads; out of the range, not at all.
    const auto darkNear1050 = [&](qint64 cursor) {
        window.setCursorTime(cursor);
        const int x = int(area.left() + area.width() / 2);
        return countPixels(plot->grab().toImage(), QRect(x - 1, int(area.top()), 3, int(area.height())),
                           [](const QColor &c) { return c.lightness() < 120; });
    };
    const int at1050 = darkNear1050(1050000); // and once taken away, not at all
    QVERIFY(at1050 > darkNear1050(TrendPlot::noCursor) + 50 && at1050 > darkNear1050(1200000) + 50);
}

void TestTrendWindow::navigation_data()
{
    QTest::addColumn<int>("key"); // 0: a drag on the plot, 100 pixels to the left; -1: the wheel turned up
    QTest::addColumn<qint64>("cursor"); // where the mouse rests first
    QTest::addColumn<qint64>("from"); // shown before: 1040 s to 1060 s of a record from 1000 s to 1100 s
    QTest::addColumn<qint64>("span");

    QTest::newRow("left") << int(Qt::Key_Left) << qint64(-1) << qint64(1038000) << qint64(20000);
    QTest::newRow("right") << int(Qt::Key_Right) << qint64(-1) << qint64(1042000) << qint64(20000);
    QTest::newRow("zoom in at the centre") << int(Qt::Key_Plus) << qint64(-1) << qint64(1045000) << qint64(10000);
    QTest::newRow("zoom in at the cursor") << int(Qt::Key_Up) << qint64(1044000) << qint64(1042000) << qint64(10000);
    QTest::newRow("zoom out") << int(Qt::Key_Minus) << qint64(-1) << qint64(1030000) << qint64(40000);
    QTest::newRow("wheel at the centre") << -1 << qint64(-1) << qint64(1042000) << qint64(16000);
    QTest::newRow("home: the start") << int(Qt::Key_Home) << qint64(-1) << qint64(1000000) << qint64(20000);
    QTest::newRow("end: the end of the files") << int(Qt::Key_End) << qint64(-1) << qint64(1080000) << qint64(20000);
    QTest::newRow("drag") << 0 << qint64(-1) << qint64(-1) << qint64(20000);
}

void TestTrendWindow::navigation()
{
    QFETCH(int, key);
    QFETCH(qint64, cursor);
    QFETCH(qint64, from);
    QFETCH(qint64, span);

    TrendModel model;
    model.addRecord("Rec.log", RecordReader().readText("#Time\tMFC1\n" + row(1000, "5") + row(1100, "6")));
    TrendWindow window(&model, nullptr);
    window.resize(900, 600);
    window.show();
    window.setRange(1040000, 1060000);
    QTRY_VERIFY(!window.isBusy());
    auto *plot = window.findChild<TrendPlot *>("FlowPlot");
    const QRectF area = plot->plotRect();
    const auto moveTo = [&](QPointF at, Qt::MouseButtons buttons) {
        QMouseEvent move(QEvent::MouseMove, at, plot->mapToGlobal(at), Qt::NoButton, buttons, Qt::NoModifier);
        QCoreApplication::sendEvent(plot->viewport(), &move);
    };
    if (cursor >= 0)
        moveTo(QPointF(area.left() + area.width() * double(cursor - 1040000) / 20000, area.center().y()), Qt::NoButton);
    if (key > 0) {
        QTest::keyClick(&window, Qt::Key(key));
    } else if (key < 0) {
        QWheelEvent wheel(area.center(), plot->mapToGlobal(area.center()), {}, {0, 120}, Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(plot->viewport(), &wheel);
    } else {
        const QPointF start = area.center(), end = start - QPointF(100, 0);
        QTest::mousePress(plot->viewport(), Qt::LeftButton, Qt::NoModifier, start.toPoint());
        moveTo(end, Qt::LeftButton);
        QTest::mouseRelease(plot->viewport(), Qt::LeftButton, Qt::NoModifier, end.toPoint());
        moveTo(start, Qt::LeftButton); // released: this only moves the cursor
        from = 1040000 + qRound64(100 * 20000 / area.width());
    }
    QVERIFY2(qAbs(window.rangeFrom() - from) <= 1 && window.rangeTo() - window.rangeFrom() == span,
             qPrintable(QString("%1 %2").arg(window.rangeFrom()).arg(window.rangeTo())));
}

// With a clock the window follows the present: its presets, when shown again, and after a pan only once asked.
void TestTrendWindow::following()
{
    TrendModel model;
    qint64 now = 1000000000;
    TrendWindow window(&model, [&now] { return now; });
    window.resize(900, 600);
    window.show();
    const auto *axis = qobject_cast<QDateTimeAxis *>(
        static_cast<QChartView *>(window.findChild<TrendPlot *>("FlowPlot"))->chart()->axes(Qt::Horizontal).value(0));
    const auto shown = [&] {
        return QString("%1+%2 %3").arg(now - window.rangeTo()).arg(window.rangeTo() - window.rangeFrom()).arg(axis->format());
    };
    QCOMPARE(shown(), "0+600000 hh:mm:ss");
    for (const auto &[preset, span] : {std::pair{"Preset8h", "0+28800000 hh:mm"}, {"Preset24h", "0+86400000 hh:mm"},
                                       {"Preset10m", "0+600000 hh:mm:ss"}, {"Preset1h", "0+3600000 hh:mm:ss"}}) {
        window.findChild<QToolButton *>(preset)->click();
        QCOMPARE(shown(), span);
    }
    now += 5000;
    window.hide();
    window.show();
    QCOMPARE(shown(), "0+3600000 hh:mm:ss");
    QTest::keyClick(&window, Qt::Key_Right);
    now += 5000;
    window.hide();
    window.show();
    QCOMPARE(shown(), "-355000+3600000 hh:mm:ss");
    QTest::keyClick(&window, Qt::Key_End);
    QCOMPARE(shown(), "0+3600000 hh:mm:ss");
    // While live, zooming keeps the present in view; the time labels change after two hours and after two days.
    const auto zoomOut = [&](const char *preset) {
        window.findChild<QToolButton *>(preset)->click();
        QTest::keyClick(&window, Qt::Key_Down);
        return shown();
    };
    QCOMPARE(zoomOut("Preset1h"), "0+7200000 hh:mm:ss");
    QCOMPARE(zoomOut("Preset24h"), "0+172800000 hh:mm");
    QTest::keyClick(&window, Qt::Key_Down);
    QCOMPARE(shown(), "0+345600000 MM/dd hh:mm");
}

// What was read from each file is said, and every curve is listed by a name.
void TestTrendWindow::filesAndNames()
{
    TempWorkDir dir;
    const QString file = dir.write("Rec-20261206.log", "#Time\tMFC1\t     \n" + row(1000, "5\t0") + "1001\t6\n" +
                                                           row(1002, "x\t0") + "text\n" + row(1003, "7\t0"));
    TrendModel model;
    TrendWindow window(&model, nullptr);
    window.openFiles({file});
    QTRY_VERIFY(!window.isBusy() && !window.reportText().isEmpty());
    QCOMPARE(QString("%1..%2").arg(window.rangeFrom()).arg(window.rangeTo()), "999000..1004000"); // all of it shown
    window.openFiles({file});
    QCOMPARE(window.reportText(), "Rec-20261206.log: rows read: 2; skipped: cut short: 1, not numbers: 1, lines of other "
                                  "text: 1\n" + file + ": already shown");
    QStringList names;
    for (QTreeWidgetItem *item : window.findChild<QTreeWidget *>("CurveList")->findItems("*", Qt::MatchWildcard | Qt::MatchRecursive))
        names << item->text(0) + ' ' + item->icon(0).pixmap(12).toImage().pixelColor(6, 6).name();
    // Each curve's colour is shown beside its name, neighbours apart in hue.
    QVERIFY2(names.contains("MFC1 #d21d1d") && names.contains("(no name) #17a53f"), qPrintable(names.join('|')));
}

// The value axis follows the curves shown, also when only one of its ends moves.
void TestTrendWindow::valueAxis()
{
    TrendModel model;
    model.addRecord("Rec.log", RecordReader().readText("#Time\tMFC1\n" + row(1000, "-5") + row(1050, "80") +
                                                       row(1100, "80") + row(1150, "200")));
    TrendWindow window(&model, nullptr);
    window.resize(900, 600);
    window.show();
    const QList<QAbstractAxis *> axes =
        static_cast<QChartView *>(window.findChild<TrendPlot *>("FlowPlot"))->chart()->axes(Qt::Vertical);
    auto *axis = qobject_cast<QValueAxis *>(axes.value(0));
    QVERIFY(axis);
    QStringList ranges;
    for (const auto &[from, to] : {std::pair{1000000, 1100000}, {1060000, 1100000}, {1060000, 1160000}}) {
        window.setRange(from, to);
        QTRY_VERIFY(!window.isBusy());
        ranges << QString("%1..%2").arg(axis->min()).arg(axis->max());
    }
    QCOMPARE(ranges, (QStringList{"-20..100", "0..100", "0..250"}));
    QCOMPARE(window.findChild<TrendPlot *>("ValvePlot")->plotRect().left(), // the plots line up
             window.findChild<TrendPlot *>("FlowPlot")->plotRect().left());
    window.setRange(1000000, 1000000); // a second at least
    QCOMPARE(window.rangeTo(), 1001000);
}

void TestTrendWindow::exportButtons_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("path"); // as chosen; %1: a folder
    QTest::addColumn<QString>("report");
    QTest::newRow("PNG") << "PngButton" << "%1/a.png" << "";
    QTest::newRow("CSV") << "CsvButton" << "%1/a.csv" << "";
    QTest::newRow("cancelled") << "CsvButton" << "" << "";
    QTest::newRow("cannot write") << "PngButton" << "%1/no/a.png" << "Cannot write %1/no/a.png";
}

void TestTrendWindow::exportButtons()
{
    QFETCH(QString, button);
    QFETCH(QString, path);
    QFETCH(QString, report);
    QTemporaryDir dir;
    TrendModel model;
    model.addRecord("Rec.log", RecordReader().readText("#Time\tMFC1\n" + row(1000, "5") + row(1100, "6")));
    TrendWindow window(&model, nullptr);
    QString suggested;
    window.askSavePath = [&](const QString &title, const QString &name, const QString &filter) {
        suggested = QStringList{title, name, filter}.join('|');
        return path.arg(dir.path());
    };
    window.findChild<QToolButton *>(button)->click();
    QCOMPARE(suggested, button == "PngButton" ? "Export PNG|trends.png|PNG pictures (*.png)"
                                              : "Export CSV|trends.csv|CSV files (*.csv)");
    QCOMPARE(window.reportText(), report.arg(dir.path()));
    QCOMPARE(QFile::exists(path.arg(dir.path())), !path.isEmpty() && report.isEmpty());
}

void TestTrendWindow::trendOnly_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<int>("status");

    QTest::newRow("a record file") << QStringList{"Rec-20261206.log"} << 0;
    QTest::newRow("and one that is missing") << QStringList{"Rec-20261206.log", "Rec-20261207.log"} << 1;
}

void TestTrendWindow::trendOnly()
{
    QFETCH(QStringList, files);
    QFETCH(int, status);

    // Were it to start the panel, this configuration would take it to the
    // server here and have it write "Rec-<today>.log" and "log.log".
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost, 0));
    TempWorkDir dir;
    dir.write("plant.cfg", "NAME_ON_TELSO Rec\nTELSO_IP 127.0.0.1\nTELSO_PORT " +
                               QByteArray::number(server.serverPort()) + "\nVALVE 1 0 N2 1 L1 Dev ch1\n");
    dir.write("Rec-20261206.log", "#Time\tMFC1\tN2 L1\n" + row(1000, "5\t0") + row(1040, "6\t1"));

    QProcess panel;
    panel.setWorkingDirectory(dir.path());
    panel.start(QDir(qEnvironmentVariable("KESTRUNE_BIN_DIR")).filePath("kestrune"),
                QStringList{"--trend"} + files +
                    QStringList{"--png", "out.png", "--csv", "out.csv", "-c", "plant.cfg", "-e"});
    QVERIFY(panel.waitForFinished(60000));
    QCOMPARE(panel.exitCode(), status);
    if (status != 0)
        QVERIFY(panel.readAllStandardError().contains("Rec-20261207.log"));

    QCOMPARE(QDir(dir.path()).entryList(QDir::Files, QDir::Name),
             (QStringList{"Rec-20261206.log", "out.csv", "out.png", "plant.cfg"}));
    QVERIFY(!QImage(dir.filePath("out.png")).isNull());
    QVERIFY(dir.read("out.csv").startsWith("Time,MFC1,N2 L1\n"));
    QVERIFY(!server.waitForNewConnection(0));
}

QTEST_MAIN(TestTrendWindow)
#include "tst_trendwindow.moc"
