#include "nodes/anode.h"
#include "nodes/ticktimer.h"
#include "support/messagecapture.h"
#include "support/nodebus.h"

#include <QtTest>

#include <map>

namespace {

// Out is fed by V1 (x 10) and V2 (x 20); V1 by the sources S1, S2 (x 5) and
// Sh (x 15), V2 by Sh alone. Linked out of order on purpose.
struct Tree
{
    Tree()
    {
        for (const auto &[name, x] : {std::pair{"Out", 0}, {"V1", 10}, {"V2", 20}, {"S1", 5}, {"S2", 5}, {"Sh", 15}})
            nodes[name] = std::make_unique<aNode>(QLatin1String(name), 0, aNode::PlainNode, QString(), 1.0, QString(),
                                                  QString(), QString(), x, 0, 1, 1, nullptr);
        for (const auto &[parent, child] :
             {std::pair{"Out", "V2"}, {"Out", "V1"}, {"V2", "Sh"}, {"V1", "Sh"}, {"V1", "S1"}, {"V1", "S2"}})
            link(at(parent), at(child));
    }
    aNode *at(const QString &name) const { return nodes.at(name).get(); }
    std::map<QString, std::unique_ptr<aNode>> nodes;
};

} // namespace

class TestNodes : public QObject
{
    Q_OBJECT

private slots:
    void isFlowing_data();
    void isFlowing();
    void timeSetting_data();
    void timeSetting();
    void countdowns();
};

void TestNodes::isFlowing_data()
{
    QTest::addColumn<QStringList>("off");
    QTest::addColumn<QString>("node");
    QTest::addColumn<bool>("flowing");

    QTest::newRow("first path closed, second flows") << QStringList{"V1"} << "Out" << true;
    QTest::newRow("both paths closed") << QStringList{"V1", "V2"} << "Out" << false;
    QTest::newRow("closed, children flowing") << QStringList{"V1"} << "V1" << false;
    QTest::newRow("every source closed") << QStringList{"S1", "S2", "Sh"} << "Out" << false;
}

void TestNodes::isFlowing()
{
    QFETCH(QStringList, off);
    QFETCH(QString, node);
    QFETCH(bool, flowing);

    Tree t;
    for (const QString &name : off)
        t.at(name)->stat = false;
    QCOMPARE(t.at(node)->isFlowing(), flowing);
}

void TestNodes::timeSetting_data()
{
    QTest::addColumn<double>("minutes");
    QTest::addColumn<int>("interval"); // 0: switched off

    QTest::newRow("1.5 minutes") << 1.5 << 90000;
    QTest::newRow("truncated toward zero") << 0.0333333 << 1999;
    QTest::newRow("one second at least") << 0.0000999 << 1000;
    QTest::newRow("largest that fits") << 35791.0 << 35791 * 60000;
    QTest::newRow("too long is capped") << 1e300 << std::numeric_limits<int>::max();
    QTest::newRow("zero switches off") << 0.0 << 0;
    QTest::newRow("negative switches off") << -2.0 << 0;
    QTest::newRow("not a number switches off") << qQNaN() << 0;
    QTest::newRow("infinity switches off") << qInf() << 0;
}

void TestNodes::timeSetting()
{
    QFETCH(double, minutes);
    QFETCH(int, interval);

    for (const bool opening : {true, false}) {
        Tree t;
        aNode *n = t.at("S1");
        n->stat = !opening; // the countdown is due
        TickTimer *timer = opening ? n->openTimer : n->closeTimer;
        const auto set = [n, opening](double m) { opening ? n->setTimeToOpen(m) : n->setTimeToClose(m); };
        set(2);
        QVERIFY(timer->isActive());
        set(minutes);
        // Switched off, a running countdown must neither act nor tick any more.
        const bool on = opening ? n->timeToOpenOn : n->timeToCloseOn;
        QCOMPARE(QList<bool>({on, timer->isActive(), timer->ticking()}), QList<bool>(3, interval > 0));
        QCOMPARE(timer->interval(), interval > 0 ? interval : 120000);
    }
}

// A countdown runs only when due.
void TestNodes::countdowns()
{
    Tree t;
    aNode &n = *t.at("S1"); // a source, so flowing
    QSignalSpy closeTicks(&n, &aNode::timeToCloseTick);
    QSignalSpy closed(&n, &aNode::timeToClose);
    n.setTimeToOpen(1.5);
    QVERIFY(!n.openTimer->isActive());

    n.setTimeToClose(0.025); // 1500 ms: the time at once, one tick, then the end
    QVERIFY(closed.wait(10000));
    QCOMPARE(closeTicks.size(), 2);
    QVERIFY2(closeTicks.at(1).at(0).toInt() <= 500, qPrintable(closeTicks.at(1).at(0).toString()));
    QVERIFY(!n.closeTimer->ticking());

    // The longest time a timer takes is used as it is; only a longer one is capped, and said so.
    MessageCapture capture;
    n.setTimeToOpen(35791.3941167); // INT_MAX ms and a fraction
    n.setTimeToOpen(35791.3942);
    QCOMPARE(capture.messages().filter("too long: capped to 2147483647 ms").size(), 1);
    QCOMPARE(n.openTimer->interval(), INT_MAX);
}

QTEST_MAIN(TestNodes)
#include "tst_nodes.moc"
