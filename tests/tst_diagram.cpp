#include "diagram/chcoord.h"
#include "diagram/diagrampainter.h"
#include "diagram/gview.h"
#include "support/configtext.h"
#include "support/livepanel.h"
#include "valves/avalve.h"

#include <QtTest>

namespace {

const QColor bg(255, 255, 240), open(230, 210, 0), closed(170, 150, 0), gas(255, 0, 0), noGas(0, 0, 0);
const QByteArray valveAt50 = "VALVE 1 0 \"\" 1 L Dev ch 50 50 5 10\n";

} // namespace

class TestDiagram : public QObject
{
    Q_OBJECT

private slots:
    void pixels_data();
    void pixels();
    void hiddenInfoFrameDrawsNoLabel();
    void doubleClick();
    void diamond();
};

void TestDiagram::pixels_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("valveOn");
    QTest::addColumn<QList<QPoint>>("at");
    QTest::addColumn<QList<QColor>>("colour");

    // Valve figure: an hourglass of two diagonals, top and bottom edges, no sides.
    QTest::newRow("open valve") << valveAt50 << true
                                << QList<QPoint>{{200, 120}, {200, 180}, {190, 135}, {180, 150}, {220, 150}, {10, 10}}
                                << QList<QColor>{open, open, open, bg, bg, bg};
    QTest::newRow("closed valve, bad display size falls back") << "DISP_WIDTH 0\nDISP_HEIGHT abc\n" + valveAt50 << false
                                                 << QList<QPoint>{{200, 120}} << QList<QColor>{closed};
    QTest::newRow("one unit wide: the valve far off") << "DISP_WIDTH 1\n" + valveAt50 << false
                                                      << QList<QPoint>{{200, 120}} << QList<QColor>{bg};
    // Pipes enter a node side by side, spread around its centre.
    const QByteArray sink = "NODE 1 - 0 \"\" 50 80 10 5\nNODE 2 - 0 \"\" 20 20 5 5\nNODE 3 - 0 \"\" 80 20 5 5\n"
                            "CONNECT NODE 2 NODE 1\nCONNECT NODE 3 NODE 1\n";
    QTest::newRow("two entries") << sink << false << QList<QPoint>{{196, 120}, {203, 120}, {200, 120}}
                                 << QList<QColor>{gas, gas, bg};
    QTest::newRow("three entries") << sink + "NODE 4 - 0 \"\" 50 20 5 5\nCONNECT NODE 4 NODE 1\n" << false
                                   << QList<QPoint>{{193, 120}, {200, 120}, {207, 120}, {197, 120}, {203, 120}}
                                   << QList<QColor>{gas, gas, gas, bg, bg};
    // Horizontal runs that overlap an earlier one are raised; others stay at 45 % of the height.
    QTest::newRow("overlapping runs")
        << QByteArray("NODE 1 - 0 \"\" 20 20 2 2\nNODE 2 - 0 \"\" 30 20 2 2\nNODE 5 - 0 \"\" 60 20 2 2\n"
                      "NODE 3 - 0 \"\" 40 80 2 2\nNODE 4 - 0 \"\" 50 80 2 2\nNODE 6 - 0 \"\" 80 80 2 2\n"
                      "CONNECT NODE 1 NODE 3\nCONNECT NODE 2 NODE 4\nCONNECT NODE 5 NODE 6\n")
        << false << QList<QPoint>{{100, 158}, {180, 140}, {180, 158}, {280, 158}} << QList<QColor>{gas, gas, bg, gas};
    const QByteArray fed = "VALVE 1 0 \"\" 1 L Dev ch 20 20 2 2\nNODE 1 - 0 \"\" 20 80 2 2\nCONNECT VALVE 1 NODE 1\n";
    QTest::newRow("pipe below a closed valve") << fed << false << QList<QPoint>{{80, 200}} << QList<QColor>{noGas};
    QTest::newRow("pipe below an open valve") << fed << true << QList<QPoint>{{80, 200}} << QList<QColor>{gas};
}

void TestDiagram::pixels()
{
    QFETCH(QByteArray, text);
    QFETCH(bool, valveOn);
    QFETCH(QList<QPoint>, at);
    QFETCH(QList<QColor>, colour);

    LivePanel panel(text);
    QVERIFY(panel.loggedIn());
    if (valveOn)
        panel.valve()->showStat(true);
    const QImage img = panel.diagramImage();
    for (int i = 0; i < at.size(); ++i)
        QCOMPARE(img.pixelColor(at[i]), colour[i]);
}

void TestDiagram::hiddenInfoFrameDrawsNoLabel()
{
    LivePanel panel("MFC 1 0 N2 1 DUMMY Dev a 25 50 20 20\nMFC 2 1 N2 1 MFC2 Dev b 75 50 20 20\n"
                    "NODE 1 N2 1 \"\" 25 10 1 1\nNODE 2 N2 1 \"\" 75 10 1 1\nCONNECT NODE 1 MFC 1\nCONNECT NODE 2 MFC 2\n");
    QVERIFY(panel.loggedIn());
    const QImage img = panel.diagramImage();
    const auto dark = [](const QColor &c) { return c.lightness() < 100; };
    QCOMPARE(countPixels(img, QRect(30, 125, 140, 50), dark), 0); // inside each figure, away from its edges
    QVERIFY(countPixels(img, QRect(230, 125, 140, 50), dark) > 0);
}

// Only inside the valve's figure, its edges excepted, does a double click switch it: centre, inside near the
// side, left edge, top edge, outside.
void TestDiagram::doubleClick()
{
    ChCoord empty; // before the first paint every range is empty: no division by zero
    QVERIFY(qIsFinite(empty.toRealX(5)) && qIsFinite(empty.toRealY(5)) && qIsFinite(empty.toDispH(5)));
    LivePanel panel(valveAt50);
    QVERIFY(panel.loggedIn());
    panel.diagramImage();
    QString switched;
    for (const QPoint at : {QPoint(200, 150), QPoint(219, 125), QPoint(180, 150), QPoint(200, 120), QPoint(100, 100)}) {
        const bool was = panel.valve()->isOn();
        QTest::mouseDClick(panel.body->diagram(), Qt::LeftButton, Qt::NoModifier, at);
        switched += panel.valve()->isOn() == was ? '0' : '1';
    }
    QCOMPARE(switched, QString("11000"));
}

// Every walk that the diagram and the flowing state make is done once per node, not once per path;
// "Stat" still lists a node once per path.
void TestDiagram::diamond()
{
    LivePanel small(diamondPlant(2));
    QVERIFY(small.loggedIn());
    small.valve()->showStat(true);
    small.server.send("C.1>Kestrune.Top Stat");
    const QString stat = "Kestrune.Top>C.1 @Stat V[N2 A,Open]  V[Ar B,Close]   V[N2 A,Open]  V[Ar B,Close]   M[M,0,0]";
    QVERIFY(QTest::qWaitFor([&] { return small.server.lines().contains(stat); }, 10000));
    FlowMemo memo;
    QCOMPARE(DiagramPainter::labelText(small.valve(), memo), "N2 [1 N2]");

    QElapsedTimer timer;
    timer.start();
    LivePanel big(diamondPlant(30) + "VALVE 3 2 Xe 1 C Dev c3 90 2 1 1\nCONNECT VALVE 3 MFC 1\n");
    QVERIFY(big.loggedIn());
    big.valve()->showStat(true);
    const QImage img = big.diagramImage();
    big.server.sendRaw("C.3>Kestrune.Top GetNowGas\nC.2>Kestrune.Top SetNewGas Xe 10\n"); // each junction met once
    QVERIFY(QTest::qWaitFor([&] { return big.server.lines().contains("Kestrune.Top>C.2 Ok: 10"); }, 10000));
    QVERIFY2(timer.elapsed() < 10000, qPrintable(QString::number(timer.elapsed()))); // 2^30 paths would take hours
    QCOMPARE(img.pixelColor(196, 20), gas); // a pipe into the top MFC
}

QTEST_MAIN(TestDiagram)
#include "tst_diagram.moc"
