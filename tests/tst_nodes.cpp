#include "nodes/anode.h"
#include "nodes/ticktimer.h"
#include "support/messagecapture.h"

#include <QtTest>

#include <climits>
#include <cmath>
#include <limits>
#include <memory>

namespace {

// A node that counts the state changes its children pass on.
class CountingNode : public aNode
{
public:
    CountingNode(const QString &name, int x)
        : aNode(name, 0, PlainNode, QString(), 1.0, name, QString(), QString(), x, 0, 10, 10, nullptr)
    {
    }
    int received = 0;

private:
    void newFromStat() override { ++received; }
};

// Nodes by name; the tree links are made the way the main window makes them.
class Plant
{
public:
    aNode *add(const QString &name, int x = 0)
    {
        nodes[name] = std::make_unique<CountingNode>(name, x);
        return nodes[name].get();
    }
    aNode *at(const QString &name) const { return nodes.at(name).get(); }
    void connect(const QString &parent, const QString &child)
    {
        at(parent)->addChild(at(child));
        at(child)->addParent(at(parent));
    }
    QStringList names(const QList<aNode *> &list) const
    {
        QStringList out;
        for (const aNode *n : list)
            out << n->nodeName;
        return out;
    }

    std::map<QString, std::unique_ptr<aNode>> nodes;
};

// Out feeds on V1 (x 10) and V2 (x 20); V1 on the sources S1 and Sh, V2 on Sh
// alone, so Sh is reached through two parents.
void buildSharedTree(Plant &p)
{
    p.add(QStringLiteral("Out"));
    p.add(QStringLiteral("V1"), 10);
    p.add(QStringLiteral("V2"), 20);
    p.add(QStringLiteral("S1"), 5);
    p.add(QStringLiteral("Sh"), 15);
    p.connect(QStringLiteral("Out"), QStringLiteral("V1"));
    p.connect(QStringLiteral("Out"), QStringLiteral("V2"));
    p.connect(QStringLiteral("V1"), QStringLiteral("S1"));
    p.connect(QStringLiteral("V1"), QStringLiteral("Sh"));
    p.connect(QStringLiteral("V2"), QStringLiteral("Sh"));
}

} // namespace

class TestNodes : public QObject
{
    Q_OBJECT

private slots:
    void construction();
    void ordering_data();
    void ordering();
    void isFlowing_data();
    void isFlowing();
    void collectSubtree_data();
    void collectSubtree();
    void changeGoesOneLevelUp();
    void timeSetting_data();
    void timeSetting();
    void countdownStartsOnlyWhenDue();
    void countdownFiresAndStopsTicking();
    void countdownTicks();
    void switchingOffStopsCountdown();
};

void TestNodes::construction()
{
    aNode n(QStringLiteral("7"), 7, aNode::PlainNode, QStringLiteral(" N2 ,  Ar,,He "), 1.4, QStringLiteral("J"),
            QStringLiteral("Dev"), QStringLiteral("ch"), 1, 2, 3, 4, nullptr);
    QVERIFY(n.stat);
    QCOMPARE(n.gasList, QStringList({"N2 ", " Ar", "", "He"}));
    QCOMPARE(n.typeName(), QStringLiteral("Node"));
    QCOMPARE(n.statusText(), QString());
    QVERIFY(n.busNames.isEmpty());
    QVERIFY(!n.timeToOpenOn);
    QVERIFY(!n.timeToCloseOn);
    QVERIFY(n.openTimer->isSingleShot());
    QVERIFY(n.closeTimer->isSingleShot());
    QVERIFY(!n.openTimer->isActive());
    QCOMPARE(n.openTimer->tickTimer->interval(), 1000);
    QVERIFY(!n.openTimer->tickTimer->isSingleShot());
}

void TestNodes::ordering_data()
{
    QTest::addColumn<QList<int>>("xs");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("ascending") << QList<int>{1, 2, 3} << QStringList{"n0", "n1", "n2"};
    QTest::newRow("descending") << QList<int>{3, 2, 1} << QStringList{"n2", "n1", "n0"};
    QTest::newRow("equal x keeps adding order") << QList<int>{5, 5, 5} << QStringList{"n0", "n1", "n2"};
    QTest::newRow("equal x after a larger one") << QList<int>{30, 10, 20, 10}
                                               << QStringList{"n1", "n3", "n2", "n0"};
    QTest::newRow("negative x") << QList<int>{0, -5} << QStringList{"n1", "n0"};
}

void TestNodes::ordering()
{
    QFETCH(QList<int>, xs);
    QFETCH(QStringList, expected);

    Plant p;
    aNode *hub = p.add(QStringLiteral("hub"));
    for (int i = 0; i < xs.size(); ++i) {
        aNode *n = p.add(QStringLiteral("n%1").arg(i), xs.at(i));
        hub->addChild(n);
        hub->addParent(n);
    }
    QCOMPARE(p.names(hub->children), expected);
    QCOMPARE(p.names(hub->parents), expected);
    for (int i = 0; i < expected.size(); ++i) {
        QCOMPARE(hub->indexOfChild(p.at(expected.at(i))), i);
        QCOMPARE(hub->indexOfParent(p.at(expected.at(i))), i);
    }
    QCOMPARE(hub->indexOfChild(hub), -1);
    QCOMPARE(hub->indexOfParent(hub), -1);
}

void TestNodes::isFlowing_data()
{
    QTest::addColumn<QStringList>("off");
    QTest::addColumn<QString>("node");
    QTest::addColumn<bool>("flowing");

    QTest::newRow("all on") << QStringList{} << "Out" << true;
    QTest::newRow("a source without children flows") << QStringList{} << "S1" << true;
    QTest::newRow("first path closed, second still flows") << QStringList{"V1"} << "Out" << true;
    QTest::newRow("both valves closed") << QStringList{"V1", "V2"} << "Out" << false;
    QTest::newRow("closed node with flowing children") << QStringList{"V1"} << "V1" << false;
    QTest::newRow("shared source closed, other source open") << QStringList{"Sh"} << "V1" << true;
    QTest::newRow("shared source closed blocks its only path") << QStringList{"Sh"} << "V2" << false;
    QTest::newRow("shared source reached through second parent") << QStringList{"V1"} << "V2" << true;
    QTest::newRow("every source closed") << QStringList{"S1", "Sh"} << "Out" << false;
    QTest::newRow("outlet closed") << QStringList{"Out"} << "Out" << false;
}

void TestNodes::isFlowing()
{
    QFETCH(QStringList, off);
    QFETCH(QString, node);
    QFETCH(bool, flowing);

    Plant p;
    buildSharedTree(p);
    for (const QString &name : off)
        p.at(name)->stat = false;
    QCOMPARE(p.at(node)->isFlowing(), flowing);
}

void TestNodes::collectSubtree_data()
{
    QTest::addColumn<QString>("start");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("whole tree, shared node twice") << "Out" << QStringList{"S1", "Sh", "V1", "Sh", "V2", "Out"};
    QTest::newRow("inner node") << "V1" << QStringList{"S1", "Sh", "V1"};
    QTest::newRow("leaf") << "Sh" << QStringList{"Sh"};
}

void TestNodes::collectSubtree()
{
    QFETCH(QString, start);
    QFETCH(QStringList, expected);

    Plant p;
    buildSharedTree(p);
    QList<aNode *> list{p.at(QStringLiteral("S1"))};
    aNode::collectSubtree(p.at(start), list);
    QCOMPARE(p.names(list), QStringList{"S1"} + expected); // appended, not replaced
}

void TestNodes::changeGoesOneLevelUp()
{
    Plant p;
    buildSharedTree(p);
    emit p.at(QStringLiteral("Sh"))->newStat();
    auto received = [&](const char *name) { return static_cast<CountingNode *>(p.at(QLatin1String(name)))->received; };
    QCOMPARE(received("V1"), 1);
    QCOMPARE(received("V2"), 1);
    QCOMPARE(received("Out"), 0);
    QCOMPARE(received("S1"), 0);
}

void TestNodes::timeSetting_data()
{
    QTest::addColumn<double>("minutes");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<int>("interval");
    QTest::addColumn<bool>("reported");

    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    QTest::newRow("1.5 minutes") << 1.5 << true << 90000 << false;
    QTest::newRow("truncated toward zero") << 0.0000999 << true << 5 << false;
    QTest::newRow("0.001 minutes") << 0.001 << true << 60 << false;
    QTest::newRow("largest that fits") << 35791.0 << true << 35791 * 60000 << false;
    QTest::newRow("too long is capped") << 35792.0 << true << INT_MAX << true;
    QTest::newRow("far too long is capped") << 1e300 << true << INT_MAX << true;
    QTest::newRow("zero switches off") << 0.0 << false << 1234 << false;
    QTest::newRow("negative switches off") << -2.0 << false << 1234 << false;
    QTest::newRow("not a number switches off") << nan << false << 1234 << true;
    QTest::newRow("infinity switches off") << inf << false << 1234 << true;
    QTest::newRow("minus infinity switches off") << -inf << false << 1234 << true;
}

void TestNodes::timeSetting()
{
    QFETCH(double, minutes);
    QFETCH(bool, enabled);
    QFETCH(int, interval);
    QFETCH(bool, reported);

    for (const bool opening : {true, false}) {
        aNode n(QStringLiteral("1"), 0, aNode::PlainNode, QString(), 1.0, QStringLiteral("J"), QString(),
                QString(), 0, 0, 1, 1, nullptr);
        TickTimer *timer = opening ? n.openTimer : n.closeTimer;
        timer->setInterval(1234);
        MessageCapture capture;
        if (opening)
            n.setTimeToOpen(minutes);
        else
            n.setTimeToClose(minutes);
        QCOMPARE(opening ? n.timeToOpenOn : n.timeToCloseOn, enabled);
        QCOMPARE(timer->interval(), interval);
        QCOMPARE(capture.messages().size(), reported ? 1 : 0);
        timer->stop();
        timer->tickTimer->stop();
    }
}

void TestNodes::countdownStartsOnlyWhenDue()
{
    // A plain node without children flows: its countdown to close starts at
    // once, the one to open waits for a closing.
    aNode n(QStringLiteral("1"), 0, aNode::PlainNode, QString(), 1.0, QStringLiteral("J"), QString(), QString(), 0,
            0, 1, 1, nullptr);
    QSignalSpy openTicks(&n, &aNode::timeToOpenTick);
    QSignalSpy closeTicks(&n, &aNode::timeToCloseTick);

    n.setTimeToOpen(1.5);
    n.setTimeToClose(1.5);
    QVERIFY(!n.openTimer->isActive());
    QCOMPARE(openTicks.count(), 0);
    QVERIFY(n.closeTimer->isActive());
    QVERIFY(n.closeTimer->tickTimer->isActive());
    QCOMPARE(closeTicks.count(), 1);
    QCOMPARE(closeTicks.at(0).at(0).toInt(), 90000);

    n.stat = false;
    n.setTimeToOpen(2);
    QVERIFY(n.openTimer->isActive());
    QCOMPARE(openTicks.count(), 1);
    QCOMPARE(openTicks.at(0).at(0).toInt(), 120000);

    n.stopOpenTimer();
    n.stopCloseTimer();
    QVERIFY(!n.openTimer->isActive());
    QVERIFY(!n.openTimer->tickTimer->isActive());
    QVERIFY(!n.closeTimer->isActive());
    QVERIFY(!n.closeTimer->tickTimer->isActive());
}

void TestNodes::countdownFiresAndStopsTicking()
{
    aNode n(QStringLiteral("1"), 0, aNode::PlainNode, QString(), 1.0, QStringLiteral("J"), QString(), QString(), 0,
            0, 1, 1, nullptr);
    n.stat = false;
    QSignalSpy opened(&n, &aNode::timeToOpen);
    QSignalSpy ticks(&n, &aNode::timeToOpenTick);
    n.setTimeToOpen(0.001);
    QVERIFY(opened.wait(10000));
    QCOMPARE(opened.count(), 1);
    QCOMPARE(ticks.count(), 1); // only the immediate one
    QVERIFY(!n.openTimer->tickTimer->isActive());

    // One-shot: it runs again only through a restart.
    n.restartOpenTimer();
    QVERIFY(opened.wait(10000));
    QCOMPARE(opened.count(), 2);
}

void TestNodes::countdownTicks()
{
    aNode n(QStringLiteral("1"), 0, aNode::PlainNode, QString(), 1.0, QStringLiteral("J"), QString(), QString(), 0,
            0, 1, 1, nullptr);
    QSignalSpy ticks(&n, &aNode::timeToCloseTick);
    QSignalSpy closed(&n, &aNode::timeToClose);
    n.setTimeToClose(0.025); // 1500 ms: one tick, then the end
    QTRY_VERIFY_WITH_TIMEOUT(ticks.count() >= 2, 10000);
    const int remain = ticks.at(1).at(0).toInt();
    QVERIFY2(remain > 0 && remain <= 500, qPrintable(QString::number(remain)));
    QVERIFY(closed.wait(10000));
    QCOMPARE(ticks.count(), 2);
}

void TestNodes::switchingOffStopsCountdown()
{
    aNode n(QStringLiteral("1"), 0, aNode::PlainNode, QString(), 1.0, QStringLiteral("J"), QString(), QString(), 0,
            0, 1, 1, nullptr);
    n.stat = false;
    n.setTimeToOpen(1);
    QVERIFY(n.openTimer->isActive());
    n.setTimeToOpen(0);
    QVERIFY(!n.timeToOpenOn);
    QVERIFY(!n.openTimer->isActive());
    QVERIFY(!n.openTimer->tickTimer->isActive());

    n.stat = true;
    n.setTimeToClose(1);
    QVERIFY(n.closeTimer->isActive());
    n.setTimeToClose(-1);
    QVERIFY(!n.closeTimer->isActive());
    QVERIFY(!n.closeTimer->tickTimer->isActive());

    // Nothing runs any more after a restart either.
    n.restartCloseTimer();
    QVERIFY(!n.closeTimer->isActive());
}

QTEST_MAIN(TestNodes)
#include "tst_nodes.moc"
