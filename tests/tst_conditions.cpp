#include "support/refusalwatch.h"
#include "support/tempworkdir.h"
#include "valves/avalve.h"
#include "valves/conditions.h"

#include <QtTest>

#include <deque>
#include <map>

namespace {

// Valves by name, labelled "N2 <name>", and the plain junction "J", which
// always flows. Condition terms are written "A:on" (node, state word).
struct Plant
{
    Plant()
        : junction(QStringLiteral("9"), 9, aNode::PlainNode, QStringLiteral("N2"), 1.0, QStringLiteral("J1"), QString(),
                   QString(), 0, 0, 1, 1, nullptr)
    {
        for (const char *name : {"T", "A", "B", "V1", "V2", "V3"})
            valves[name] = std::make_unique<aValve>(name, 0, QStringLiteral("N2"), 1.0, name, QStringLiteral("Dev"),
                                                    name, 0, 0, 1, 1, nullptr, QString());
    }
    aValve *valve(const QString &name) const { return valves.at(name).get(); }
    // One condition per text, its terms apart by blanks.
    QList<Condition> conditions(const QStringList &list)
    {
        QList<Condition> out;
        for (const QString &c : list) {
            out.append(Condition());
            for (const QString &t : c.split(' ')) {
                const QString name = t.section(':', 0, 0);
                terms.push_back({name == "J" ? &junction : valve(name), flowingFromWord(t.section(':', 1))});
                out.last().append(&terms.back());
            }
        }
        return out;
    }

    aNode junction;
    std::map<QString, std::unique_ptr<aValve>> valves;
    std::deque<CondTerm> terms; // stays where it is as it grows
};

} // namespace

class TestConditions : public QObject
{
    Q_OBJECT

private slots:
    void check_data();
    void check();
    void exclusive();
};

void TestConditions::check_data()
{
    QTest::addColumn<QString>("op");
    QTest::addColumn<QStringList>("conditions");
    QTest::addColumn<QStringList>("open");
    QTest::addColumn<QStringList>("log");
    QTest::addColumn<QString>("refused"); // the box's text; empty when allowed

    using L = QStringList;
    const auto checkLine = [](const QString &op, const QString &terms, int ok) {
        return QStringLiteral("Valv [N2 T] : checking a condition to %1 [%2] : is [%3]").arg(op, terms).arg(ok);
    };
    const auto refusal = [](const QString &described) {
        return QStringLiteral("A condition '%1' is not fulfilled.  ").arg(described);
    };
    const QString a1 = "[Valve N2 A]:[1], ", b1 = "[Valve N2 B]:[1], ";
    const QString aFlows = "flowing gas through the valve [Valve N2 A]";
    QTest::newRow("no condition") << "Open" << L{} << L{} << L{} << QString();
    QTest::newRow("first fails, second holds")
        << "Open" << L{"A:on", "B:oN"} << L{"B"} << L{checkLine("Open", a1, 0), checkLine("Open", b1, 1)} << QString();
    QTest::newRow("first holds, second not evaluated")
        << "Open" << L{"A:on", "B:on"} << L{"A"} << L{checkLine("Open", a1, 1)} << QString();
    QTest::newRow("all terms must hold; a plain node; ONE is not ON")
        << "Open" << L{"A:on J:ONE"} << L{"A"} << L{checkLine("Open", a1 + "[Node J1]:[0], ", 0)}
        << refusal(aFlows + " and not flowing gas through the valve [Node J1]");
    QTest::newRow("close: both fail") << "Close" << L{"A:on", "B:OFF"} << L{"B"}
                                      << L{checkLine("Close", a1, 0), checkLine("Close", "[Valve N2 B]:[0], ", 0)}
                                      << refusal(aFlows) + refusal("not flowing gas through the valve [Valve N2 B]");
    QTest::newRow("open(false) closes") << "Open(false)" << L{"A:on"} << L{} << L{checkLine("Close", a1, 0)}
                                        << refusal(aFlows);
}

void TestConditions::check()
{
    QFETCH(QString, op);
    QFETCH(QStringList, conditions);
    QFETCH(QStringList, open);
    QFETCH(QStringList, log);
    QFETCH(QString, refused);

    TempWorkDir dir;
    Plant p;
    aValve *t = p.valve(QStringLiteral("T"));
    for (const QString &name : open)
        p.valve(name)->showStat(true);
    const bool opening = op == QLatin1String("Open");
    t->showStat(!opening);
    (opening ? t->condToOpen : t->condToClose) = p.conditions(conditions);
    // Never holds, so consulting the wrong list shows.
    (opening ? t->condToClose : t->condToOpen) = p.conditions({QStringLiteral("J:off")});

    RefusalWatch watch;
    if (op == QLatin1String("Open(false)"))
        t->vOpen(false);
    else
        opening ? t->vOpen() : t->vClose();

    QStringList logged = QString::fromUtf8(dir.read(QStringLiteral("log.log"))).split('\n', Qt::SkipEmptyParts);
    for (QString &line : logged) {
        // Stamped with the time; two-digit years read back in the 1900s.
        const QDateTime stamp = QDateTime::fromString(line.left(17), QStringLiteral("yyMMdd hhmmss.zzz")).addYears(100);
        QVERIFY2(qAbs(stamp.msecsTo(QDateTime::currentDateTime())) < 10000 && line.mid(17, 3) == " : ",
                 qPrintable(line));
        line.remove(0, 20);
    }
    QCOMPARE(logged, log);
    QCOMPARE(t->isOn(), opening == refused.isEmpty());
    QCOMPARE(watch.boxes.size(), refused.isEmpty() ? 0 : 1);
    for (const RefusalWatch::Box &box : std::as_const(watch.boxes)) {
        QCOMPARE(box.title + box.text, QStringLiteral("Can't open the Valve") + refused);
        QVERIFY(box.parent == t && box.shownModal);
    }
}

void TestConditions::exclusive()
{
    TempWorkDir dir;
    Plant p;
    aValve *v1 = p.valve("V1"), *v2 = p.valve("V2"), *v3 = p.valve("V3");
    v1->exclusiveValves = {v2, v3};
    v2->showStat(true);
    v3->showStat(true);
    // V2 may not close: it stays open, with its own refusal; the others go
    // on, every partner closing before V1 opens.
    v2->condToClose = p.conditions({QStringLiteral("J:OFF")});
    QStringList seen;
    for (aValve *v : {v1, v2, v3})
        connect(v, &aNode::newStat, this, [&seen, v] { seen << v->nodeName + (v->isOn() ? ":1" : ":0"); });
    RefusalWatch watch;
    QSignalSpy tried(v1, &aValve::triedToOpenExclusiveValves);
    v1->vOpen();
    QCOMPARE(seen, QStringList({"V3:0", "V1:1"}));
    QCOMPARE(tried.count(), 1);
    QCOMPARE(watch.boxes.size(), 1);
    QCOMPARE(watch.boxes.first().parent, v2);
}

QTEST_MAIN(TestConditions)
#include "tst_conditions.moc"
