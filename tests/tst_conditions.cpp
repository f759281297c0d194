#include "support/messagecapture.h"
#include "support/refusalwatch.h"
#include "support/tempworkdir.h"
#include "valves/avalve.h"
#include "valves/conditions.h"
#include "window/writelog.h"

#include <QtTest>

#include <map>
#include <memory>

namespace {

const QString refusalTitle = QStringLiteral("Can't open the Valve");
const QRegularExpression stamped(QStringLiteral("^\\d{6} \\d{6}\\.\\d{3} : (.*)$"));

// Valves by name ("T", "A", "B", ...), labelled "<gas> <name>", plus one plain
// node "J". Condition terms are written "A:on" (node, state word).
class Plant
{
public:
    Plant()
    {
        junction = std::make_unique<aNode>(QStringLiteral("9"), 9, aNode::PlainNode, QStringLiteral("N2"), 1.0,
                                           QStringLiteral("J1"), QString(), QString(), 0, 0, 1, 1, nullptr);
    }
    aValve *valve(const QString &name, const QString &gas = QStringLiteral("N2"))
    {
        auto &v = valves[name];
        if (!v)
            v = std::make_unique<aValve>(name, 0, gas, 1.0, name, QStringLiteral("Dev"), name, 0, 0, 1, 1,
                                         nullptr, QString());
        return v.get();
    }
    aNode *node(const QString &name) { return name == QLatin1String("J") ? junction.get() : valve(name); }
    Condition condition(const QStringList &terms)
    {
        Condition cond;
        for (const QString &t : terms) {
            const QStringList parts = t.split(QLatin1Char(':'));
            auto term = std::make_unique<CondTerm>();
            term->node = node(parts.at(0));
            term->flowing = flowingFromWord(parts.at(1));
            cond.append(term.get());
            terms_.push_back(std::move(term));
        }
        return cond;
    }
    QList<Condition> conditions(const QList<QStringList> &list)
    {
        QList<Condition> out;
        for (const QStringList &c : list)
            out.append(condition(c));
        return out;
    }
    void setOpen(const QStringList &names)
    {
        for (const QString &n : names)
            valve(n)->showStat(true);
    }

    std::unique_ptr<aNode> junction;
    std::map<QString, std::unique_ptr<aValve>> valves;
    std::vector<std::unique_ptr<CondTerm>> terms_;
};

// The texts of log.log without their stamps; a line without a stamp fails.
QStringList logLines(const TempWorkDir &dir)
{
    QStringList out;
    const QString text = QString::fromUtf8(dir.read(QStringLiteral("log.log")));
    for (const QString &line : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QRegularExpressionMatch m = stamped.match(line);
        if (!m.hasMatch())
            return {QStringLiteral("unstamped: ") + line};
        out << m.captured(1);
    }
    return out;
}

QString checkLine(const QString &op, const QString &terms, int ok)
{
    return QStringLiteral("Valv [N2 T] : checking a condition to %1 [%2] : is [%3]").arg(op, terms).arg(ok);
}

QString refusal(const QString &described)
{
    return QStringLiteral("A condition '%1' is not fulfilled.  ").arg(described);
}

} // namespace

class TestConditions : public QObject
{
    Q_OBJECT

private slots:
    void stateWord_data();
    void stateWord();
    void texts_data();
    void texts();
    void termHolds_data();
    void termHolds();
    void check_data();
    void check();
    void openFalseMeansClose();
    void exclusive_data();
    void exclusive();
    void logLineFormat();
    void logKeepsTextAsGiven();
    void logUnwritable();
};

void TestConditions::stateWord_data()
{
    QTest::addColumn<QString>("word");
    QTest::addColumn<bool>("flowing");

    QTest::newRow("ON") << "ON" << true;
    QTest::newRow("on") << "on" << true;
    QTest::newRow("oN") << "oN" << true;
    QTest::newRow("OFF") << "OFF" << false;
    QTest::newRow("NO") << "NO" << false;
    QTest::newRow("X") << "X" << false;
    QTest::newRow("ONE") << "ONE" << false;
    QTest::newRow("empty") << "" << false;
}

void TestConditions::stateWord()
{
    QFETCH(QString, word);
    QFETCH(bool, flowing);
    QCOMPARE(flowingFromWord(word), flowing);
}

void TestConditions::texts_data()
{
    QTest::addColumn<QStringList>("terms");
    QTest::addColumn<QString>("described");
    QTest::addColumn<QString>("words");

    QTest::newRow("empty") << QStringList{} << "" << "";
    QTest::newRow("one valve") << QStringList{"A:on"} << "[Valve N2 A]:[1], "
                               << "flowing gas through the valve [Valve N2 A]";
    QTest::newRow("valve and plain node")
        << QStringList{"A:on", "J:X"} << "[Valve N2 A]:[1], [Node J1]:[0], "
        << "flowing gas through the valve [Valve N2 A] and not flowing gas through the valve [Node J1]";
    QTest::newRow("three terms")
        << QStringList{"A:off", "B:off", "C:on"} << "[Valve N2 A]:[0], [Valve N2 B]:[0], [Valve N2 C]:[1], "
        << "not flowing gas through the valve [Valve N2 A] and not flowing gas through the valve [Valve N2 B] and "
           "flowing gas through the valve [Valve N2 C]";
}

void TestConditions::texts()
{
    QFETCH(QStringList, terms);
    QFETCH(QString, described);
    QFETCH(QString, words);

    Plant p;
    const Condition cond = p.condition(terms);
    QCOMPARE(describeTerms(cond), described);
    QCOMPARE(describeCondition(cond), words);
    if (!cond.isEmpty())
        QCOMPARE(termText(cond.first()), QStringLiteral("Valve N2 A"));
}

void TestConditions::termHolds_data()
{
    QTest::addColumn<bool>("open");
    QTest::addColumn<QString>("word");
    QTest::addColumn<bool>("holds");
    QTest::addColumn<QString>("trace");

    QTest::newRow("open, must flow") << true << "on" << true << "Valve Ar A true true";
    QTest::newRow("open, must not flow") << true << "OFF" << false << "Valve Ar A true false";
    QTest::newRow("closed, must flow") << false << "ON" << false << "Valve Ar A false true";
    QTest::newRow("closed, must not flow") << false << "X" << true << "Valve Ar A false false";
}

void TestConditions::termHolds()
{
    QFETCH(bool, open);
    QFETCH(QString, word);
    QFETCH(bool, holds);
    QFETCH(QString, trace);

    Plant p;
    p.valve(QStringLiteral("A"), QStringLiteral("Ar"))->showStat(open);
    const Condition cond = p.condition({QStringLiteral("A:") + word});
    MessageCapture capture;
    QCOMPARE(::termHolds(cond.first()), holds);
    QCOMPARE(capture.messages(), QStringList{trace});
}

void TestConditions::check_data()
{
    QTest::addColumn<bool>("opening");
    QTest::addColumn<QList<QStringList>>("conditions");
    QTest::addColumn<QStringList>("open");
    QTest::addColumn<bool>("allowed");
    QTest::addColumn<QStringList>("log");
    QTest::addColumn<QStringList>("traces");
    QTest::addColumn<QString>("refusalText");

    using Conds = QList<QStringList>;
    QTest::newRow("no condition") << true << Conds{} << QStringList{} << true << QStringList{} << QStringList{} << "";
    QTest::newRow("first false, second true")
        << true << Conds{{"A:on"}, {"B:on"}} << QStringList{"B"} << true
        << QStringList{checkLine("Open", "[Valve N2 A]:[1], ", 0), checkLine("Open", "[Valve N2 B]:[1], ", 1)}
        << QStringList{"Valve N2 A false true", "Valve N2 B true true"} << "";
    QTest::newRow("first holds, second not evaluated")
        << true << Conds{{"A:on"}, {"B:on"}} << QStringList{"A"} << true
        << QStringList{checkLine("Open", "[Valve N2 A]:[1], ", 1)} << QStringList{"Valve N2 A true true"} << "";
    QTest::newRow("terms stop at the first that fails")
        << true << Conds{{"A:on", "B:on"}} << QStringList{"B"} << false
        << QStringList{checkLine("Open", "[Valve N2 A]:[1], [Valve N2 B]:[1], ", 0)}
        << QStringList{"Valve N2 A false true"}
        << refusal("flowing gas through the valve [Valve N2 A] and flowing gas through the valve [Valve N2 B]");
    QTest::newRow("second term fails")
        << true << Conds{{"A:on", "J:NO"}} << QStringList{"A"} << false
        << QStringList{checkLine("Open", "[Valve N2 A]:[1], [Node J1]:[0], ", 0)}
        << QStringList{"Valve N2 A true true", "Node J1 true false"}
        << refusal("flowing gas through the valve [Valve N2 A] and not flowing gas through the valve [Node J1]");
    QTest::newRow("close: both false")
        << false << Conds{{"A:on"}, {"B:OFF"}} << QStringList{"B"} << false
        << QStringList{checkLine("Close", "[Valve N2 A]:[1], ", 0), checkLine("Close", "[Valve N2 B]:[0], ", 0)}
        << QStringList{"Valve N2 A false true", "Valve N2 B true false"}
        << refusal("flowing gas through the valve [Valve N2 A]")
               + refusal("not flowing gas through the valve [Valve N2 B]");
    QTest::newRow("close: no condition") << false << Conds{} << QStringList{} << true << QStringList{} << QStringList{} << "";
    QTest::newRow("close: condition holds")
        << false << Conds{{"A:X"}} << QStringList{} << true << QStringList{checkLine("Close", "[Valve N2 A]:[0], ", 1)}
        << QStringList{"Valve N2 A false false"} << "";
}

void TestConditions::check()
{
    QFETCH(bool, opening);
    QFETCH(QList<QStringList>, conditions);
    QFETCH(QStringList, open);
    QFETCH(bool, allowed);
    QFETCH(QStringList, log);
    QFETCH(QStringList, traces);
    QFETCH(QString, refusalText);

    TempWorkDir dir;
    Plant p;
    aValve *t = p.valve(QStringLiteral("T"));
    p.setOpen(open);
    t->showStat(!opening);
    (opening ? t->condToOpen : t->condToClose) = p.conditions(conditions);

    RefusalWatch watch;
    MessageCapture capture;
    QSignalSpy changes(t, &aNode::newStat);
    if (opening)
        t->vOpen();
    else
        t->vClose();

    QCOMPARE(logLines(dir), log);
    QStringList traced = capture.messages();
    // the headless platform's own chatter when a box is shown
    traced.removeIf([](const QString &m) { return m.contains(QLatin1String("propagateSizeHints")); });
    QCOMPARE(traced, traces);
    QCOMPARE(t->stat, allowed ? opening : !opening);
    QCOMPARE(changes.count(), allowed ? 1 : 0);
    if (allowed) {
        QCOMPARE(watch.boxes.size(), 0);
    } else {
        QCOMPARE(watch.boxes.size(), 1);
        const RefusalWatch::Box &box = watch.boxes.first();
        QCOMPARE(box.title, refusalTitle);
        QCOMPARE(box.text, refusalText);
        QCOMPARE(box.parent, t);
        QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QVERIFY(box.visible);
        QVERIFY(box.modal);
    }
}

void TestConditions::openFalseMeansClose()
{
    TempWorkDir dir;
    Plant p;
    aValve *t = p.valve(QStringLiteral("T"));
    t->showStat(true);
    t->condToClose = p.conditions({{QStringLiteral("A:on")}});
    t->condToOpen = p.conditions({{QStringLiteral("A:OFF")}}); // would allow: must not be consulted
    RefusalWatch watch;
    t->vOpen(false);
    QVERIFY(t->stat);
    QCOMPARE(watch.boxes.size(), 1);
    QCOMPARE(logLines(dir), QStringList{checkLine("Close", "[Valve N2 A]:[1], ", 0)});

    p.setOpen({QStringLiteral("A")});
    t->vOpen(false);
    QVERIFY(!t->stat);
}

void TestConditions::exclusive_data()
{
    QTest::addColumn<QStringList>("open");
    QTest::addColumn<bool>("v2Refuses");
    QTest::addColumn<QStringList>("changes");
    QTest::addColumn<int>("emitted");

    QTest::newRow("one partner open") << QStringList{"V2"} << false << QStringList{"V2:0", "V1:1"} << 1;
    QTest::newRow("both partners open") << QStringList{"V2", "V3"} << false
                                        << QStringList{"V2:0", "V3:0", "V1:1"} << 1;
    QTest::newRow("all partners closed") << QStringList{} << false << QStringList{"V1:1"} << 0;
    QTest::newRow("opened again, partners closed") << QStringList{"V1"} << false << QStringList{"V1:1"} << 0;
    QTest::newRow("partner refuses to close") << QStringList{"V2"} << true << QStringList{"V1:1"} << 1;
}

void TestConditions::exclusive()
{
    QFETCH(QStringList, open);
    QFETCH(bool, v2Refuses);
    QFETCH(QStringList, changes);
    QFETCH(int, emitted);

    TempWorkDir dir;
    Plant p;
    const QStringList group{"V1", "V2", "V3"};
    for (const QString &a : group) {
        for (const QString &b : group) {
            if (a != b)
                p.valve(a)->exclusiveValves.append(p.valve(b));
        }
    }
    p.setOpen(open);
    if (v2Refuses)
        p.valve(QStringLiteral("V2"))->condToClose = p.conditions({{QStringLiteral("J:OFF")}});

    QStringList seen;
    for (const QString &name : group) {
        aValve *v = p.valve(name);
        connect(v, &aNode::newStat, this, [&seen, v] { seen << v->nodeName + (v->stat ? ":1" : ":0"); });
    }
    RefusalWatch watch;
    QSignalSpy tried(p.valve(QStringLiteral("V1")), &aValve::triedToOpenExclusiveValves);
    p.valve(QStringLiteral("V1"))->vOpen();

    QCOMPARE(seen, changes);
    QCOMPARE(tried.count(), emitted);
    QVERIFY(p.valve(QStringLiteral("V1"))->stat);
    QCOMPARE(p.valve(QStringLiteral("V2"))->stat, v2Refuses);
    QVERIFY(!p.valve(QStringLiteral("V3"))->stat);
    QCOMPARE(watch.boxes.size(), v2Refuses ? 1 : 0);
    if (v2Refuses)
        QCOMPARE(watch.boxes.first().parent, p.valve(QStringLiteral("V2")));
}

void TestConditions::logLineFormat()
{
    TempWorkDir dir;
    dir.write(QStringLiteral("log.log"), "earlier line\n");
    const QDateTime before = QDateTime::currentDateTime();
    writeLog(QStringLiteral("first"));
    writeLog(QStringLiteral("second"));
    const QDateTime after = QDateTime::currentDateTime();

    const QStringList lines = QString::fromUtf8(dir.read(QStringLiteral("log.log"))).split(QLatin1Char('\n'));
    QCOMPARE(lines.size(), 4);
    QCOMPARE(lines.at(0), QStringLiteral("earlier line"));
    QCOMPARE(lines.at(3), QString()); // ends with a line end
    QStringList texts;
    for (int i = 1; i <= 2; ++i) {
        const QRegularExpressionMatch m = stamped.match(lines.at(i));
        QVERIFY2(m.hasMatch(), qPrintable(lines.at(i)));
        texts << m.captured(1);
        const QDateTime stamp = QDateTime::fromString(lines.at(i).left(17), QStringLiteral("yyMMdd hhmmss.zzz"));
        QVERIFY(stamp.isValid());
        // Two-digit years come back in the 1900s.
        const QDateTime stampNow = stamp.addYears(before.date().year() / 100 * 100 - 1900);
        QVERIFY(stampNow >= before.addMSecs(-1) && stampNow <= after.addMSecs(1));
    }
    QCOMPARE(texts, QStringList({"first", "second"}));
}

void TestConditions::logKeepsTextAsGiven()
{
    TempWorkDir dir;
    writeLog(QStringLiteral("two\nlines"));
    writeLog(QStringLiteral("ガス  N2 "));
    const QStringList lines = QString::fromUtf8(dir.read(QStringLiteral("log.log"))).split(QLatin1Char('\n'));
    QCOMPARE(lines.size(), 4);
    QVERIFY(stamped.match(lines.at(0)).hasMatch());
    QCOMPARE(lines.at(0).mid(20), QStringLiteral("two"));
    QCOMPARE(lines.at(1), QStringLiteral("lines"));
    QCOMPARE(lines.at(2).mid(20), QStringLiteral("ガス  N2 "));
}

void TestConditions::logUnwritable()
{
    TempWorkDir dir;
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("log.log")));
    writeLog(QStringLiteral("lost")); // must neither crash nor report
    QVERIFY(QFileInfo(dir.filePath(QStringLiteral("log.log"))).isDir());
}

QTEST_MAIN(TestConditions)
#include "tst_conditions.moc"
