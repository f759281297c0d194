#include "bus/telso.h"
#include "diagram/chcoord.h"
#include "diagram/gview.h"
#include "mfc/amfc.h"
#include "nodes/anode.h"
#include "support/configtext.h"
#include "support/fakeserver.h"
#include "support/tempworkdir.h"
#include "valves/avalve.h"
#include "window/body.h"

#include <QPainter>
#include <QtTest>

namespace {

const QColor background(255, 255, 240);
const QColor valveOpen(230, 210, 0);
const QColor valveClosed(170, 150, 0);
const QColor pipeGas(255, 0, 0);
const QColor pipeNoGas(0, 0, 0);

QImage paint(Body &body)
{
    body.diagram()->setFixedSize(400, 300);
    return body.diagram()->grab().toImage();
}

aValve *valve(Body &body, int number)
{
    return static_cast<aValve *>(body.findNode(number, aNode::Valve));
}

// The diagram shows live colours only while the panel is logged in.
QByteArray live(const FakeServer &server)
{
    return "TELSO_IP 127.0.0.1\nTELSO_PORT " + server.portText().toLatin1() + "\n";
}

bool loggedIn(Body &body)
{
    return QTest::qWaitFor([&body] { return body.busClient()->isLoggedIn(); }, 10000);
}

int darkPixels(const QImage &img, const QRect &area)
{
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (img.pixelColor(x, y).lightness() < 100)
                ++count;
        }
    }
    return count;
}

} // namespace

class TestDiagram : public QObject
{
    Q_OBJECT

private slots:
    void mapping_data();
    void mapping();
    void degenerateMapping();
    void valveFigure();
    void fallbackSize();
    void emptyWidgetPaintsNothing();
    void pipeEntries_data();
    void pipeEntries();
    void overlappingRuns();
    void pipeColourFollowsUpstream();
    void hiddenInfoFrameDrawsNoLabel();
    void doubleClick_data();
    void doubleClick();
};

void TestDiagram::mapping_data()
{
    QTest::addColumn<QList<double>>("disp");
    QTest::addColumn<QList<double>>("real");
    QTest::addColumn<QString>("op");
    QTest::addColumn<double>("in");
    QTest::addColumn<double>("out");

    const QList<double> d{0, 0, 400, 300}, r{0, 0, 100, 100};
    QTest::newRow("x") << d << r << "toDispX" << 50.0 << 200.0;
    QTest::newRow("y upwards") << d << r << "toDispY" << 60.0 << 120.0;
    QTest::newRow("y origin at bottom") << d << r << "toDispY" << 0.0 << 300.0;
    QTest::newRow("width") << d << r << "toDispW" << 10.0 << 40.0;
    QTest::newRow("height is negative") << d << r << "toDispH" << 10.0 << -30.0;
    QTest::newRow("real x") << d << r << "toRealX" << 200.0 << 50.0;
    QTest::newRow("real y") << d << r << "toRealY" << 120.0 << 60.0;
    const QList<double> d2{10, 20, 110, 220}, r2{-50, 0, 50, 100};
    QTest::newRow("offset x") << d2 << r2 << "toDispX" << 0.0 << 60.0;
    QTest::newRow("offset y bottom") << d2 << r2 << "toDispY" << 0.0 << 220.0;
    QTest::newRow("offset y top") << d2 << r2 << "toDispY" << 100.0 << 20.0;
    QTest::newRow("offset real x") << d2 << r2 << "toRealX" << 60.0 << 0.0;
    QTest::newRow("offset real y") << d2 << r2 << "toRealY" << 20.0 << 100.0;
}

void TestDiagram::mapping()
{
    QFETCH(QList<double>, disp);
    QFETCH(QList<double>, real);
    QFETCH(QString, op);
    QFETCH(double, in);
    QFETCH(double, out);

    ChCoord c;
    c.setDisp(disp[0], disp[1], disp[2], disp[3]);
    c.setReal(real[0], real[1], real[2], real[3]);
    double got = 0;
    if (op == "toDispX")
        got = c.toDispX(in);
    else if (op == "toDispY")
        got = c.toDispY(in);
    else if (op == "toDispW")
        got = c.toDispW(in);
    else if (op == "toDispH")
        got = c.toDispH(in);
    else if (op == "toRealX")
        got = c.toRealX(in);
    else if (op == "toRealY")
        got = c.toRealY(in);
    QCOMPARE(got, out);
}

void TestDiagram::degenerateMapping()
{
    // Before the first paint every range is empty: no division by zero.
    ChCoord c;
    QVERIFY(qIsFinite(c.toRealX(5)));
    QVERIFY(qIsFinite(c.toRealY(5)));
    QVERIFY(qIsFinite(c.toDispX(5)));
    QVERIFY(qIsFinite(c.toDispH(5)));
}

void TestDiagram::valveFigure()
{
    TempWorkDir dir;
    FakeServer server;
    loadConfig(dir, live(server) + "VALVE 1 0 \"\" 1 L Dev ch 50 50 5 10\n");
    Body body;
    QVERIFY(loggedIn(body));
    valve(body, 1)->showStat(true);
    QImage img = paint(body);
    QCOMPARE(img.pixelColor(200, 120), valveOpen); // top edge
    QCOMPARE(img.pixelColor(200, 180), valveOpen); // bottom edge
    QCOMPARE(img.pixelColor(190, 135), valveOpen); // a diagonal
    QCOMPARE(img.pixelColor(180, 150), background); // no sides: an hourglass
    QCOMPARE(img.pixelColor(220, 150), background);
    QCOMPARE(img.pixelColor(10, 10), background);

    valve(body, 1)->showStat(false);
    img = paint(body);
    QCOMPARE(img.pixelColor(200, 120), valveClosed);
}

void TestDiagram::fallbackSize()
{
    TempWorkDir dir;
    FakeServer server;
    loadConfig(dir, live(server) + "DISP_WIDTH 0\nDISP_HEIGHT abc\nVALVE 1 0 \"\" 1 L Dev ch 50 50 5 10\n");
    Body body;
    QVERIFY(loggedIn(body));
    const QImage img = paint(body);
    QCOMPARE(img.pixelColor(200, 120), valveClosed);
}

void TestDiagram::emptyWidgetPaintsNothing()
{
    TempWorkDir dir;
    loadConfig(dir, "VALVE 1 0 N2 1 L Dev ch 50 50 5 10\n");
    Body body;
    body.diagram()->setFixedSize(0, 0);
    QImage img(20, 20, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    body.draw(&p);
    p.end();
    QCOMPARE(img.pixelColor(10, 10), QColor(Qt::white));
}

void TestDiagram::pipeEntries_data()
{
    QTest::addColumn<QByteArray>("children");
    QTest::addColumn<QList<int>>("pipeX");
    QTest::addColumn<QList<int>>("gapX");

    QTest::newRow("two children") << QByteArray("NODE 2 - 0 \"\" 20 20 5 5\nNODE 3 - 0 \"\" 80 20 5 5\n")
                                  << QList<int>{196, 203} << QList<int>{200};
    QTest::newRow("three children")
        << QByteArray("NODE 2 - 0 \"\" 20 20 5 5\nNODE 3 - 0 \"\" 80 20 5 5\nNODE 4 - 0 \"\" 50 20 5 5\n")
        << QList<int>{193, 200, 207} << QList<int>{197, 203};
}

void TestDiagram::pipeEntries()
{
    QFETCH(QByteArray, children);
    QFETCH(QList<int>, pipeX);
    QFETCH(QList<int>, gapX);

    TempWorkDir dir;
    QByteArray text = "NODE 1 - 0 \"\" 50 80 10 5\n" + children;
    for (int n = 2; n <= pipeX.size() + 1; ++n)
        text += "CONNECT NODE " + QByteArray::number(n) + " NODE 1\n";
    FakeServer server;
    loadConfig(dir, live(server) + text);
    Body body;
    QVERIFY(loggedIn(body));
    const QImage img = paint(body);
    // Sources feed gas: every pipe is red where it enters the node.
    for (int x : pipeX)
        QCOMPARE(img.pixelColor(x, 120), pipeGas);
    for (int x : gapX)
        QCOMPARE(img.pixelColor(x, 120), background);
}

void TestDiagram::overlappingRuns()
{
    TempWorkDir dir;
    FakeServer server;
    loadConfig(dir, live(server) + "NODE 1 - 0 \"\" 20 20 2 2\nNODE 2 - 0 \"\" 30 20 2 2\nNODE 5 - 0 \"\" 60 20 2 2\n"
                                   "NODE 3 - 0 \"\" 40 80 2 2\nNODE 4 - 0 \"\" 50 80 2 2\nNODE 6 - 0 \"\" 80 80 2 2\n"
                                   "CONNECT NODE 1 NODE 3\nCONNECT NODE 2 NODE 4\nCONNECT NODE 5 NODE 6\n");
    Body body;
    QVERIFY(loggedIn(body));
    const QImage img = paint(body);
    QCOMPARE(img.pixelColor(100, 158), pipeGas); // first run at 45 % of the height
    QCOMPARE(img.pixelColor(180, 140), pipeGas); // second run raised by 6 units
    QCOMPARE(img.pixelColor(180, 158), background);
    QCOMPARE(img.pixelColor(280, 158), pipeGas); // a run that overlaps nothing stays
}

void TestDiagram::pipeColourFollowsUpstream()
{
    TempWorkDir dir;
    FakeServer server;
    loadConfig(dir, live(server) +
                        "VALVE 1 0 \"\" 1 L Dev ch 20 20 2 2\nNODE 1 - 0 \"\" 20 80 2 2\nCONNECT VALVE 1 NODE 1\n");
    Body body;
    QVERIFY(loggedIn(body));
    QCOMPARE(paint(body).pixelColor(80, 200), pipeNoGas);
    valve(body, 1)->showStat(true);
    QCOMPARE(paint(body).pixelColor(80, 200), pipeGas);
}

void TestDiagram::hiddenInfoFrameDrawsNoLabel()
{
    TempWorkDir dir;
    FakeServer server;
    loadConfig(dir, live(server) + "MFC 1 0 N2 1 DUMMY Dev a 25 50 20 20\nMFC 2 1 N2 1 MFC2 Dev b 75 50 20 20\n"
                                   "NODE 1 N2 1 \"\" 25 10 1 1\nNODE 2 N2 1 \"\" 75 10 1 1\n"
                                   "CONNECT NODE 1 MFC 1\nCONNECT NODE 2 MFC 2\n");
    Body body;
    QVERIFY(loggedIn(body));
    const QImage img = paint(body);
    // Inside each MFC's figure, away from its edges.
    QCOMPARE(darkPixels(img, QRect(30, 125, 140, 50)), 0);
    QVERIFY(darkPixels(img, QRect(230, 125, 140, 50)) > 0);
}

void TestDiagram::doubleClick_data()
{
    QTest::addColumn<QPoint>("at");
    QTest::addColumn<bool>("toggles");

    QTest::newRow("centre") << QPoint(200, 150) << true;
    QTest::newRow("inside near the side") << QPoint(219, 125) << true;
    QTest::newRow("left edge") << QPoint(180, 150) << false;
    QTest::newRow("top edge") << QPoint(200, 120) << false;
    QTest::newRow("outside") << QPoint(100, 100) << false;
}

void TestDiagram::doubleClick()
{
    QFETCH(QPoint, at);
    QFETCH(bool, toggles);

    TempWorkDir dir;
    FakeServer server;
    loadConfig(dir, live(server) + "VALVE 1 0 \"\" 1 L Dev ch 50 50 5 10\n");
    Body body;
    QVERIFY(loggedIn(body));
    paint(body);
    QVERIFY(!valve(body, 1)->isOn());
    QTest::mouseDClick(body.diagram(), Qt::LeftButton, Qt::NoModifier, at);
    QCOMPARE(valve(body, 1)->isOn(), toggles);
}

QTEST_MAIN(TestDiagram)
#include "tst_diagram.moc"
