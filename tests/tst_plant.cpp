#include "mfc/amfc.h"
#include "nodes/ticktimer.h"
#include "support/configtext.h"
#include "support/messagecapture.h"
#include "support/tempworkdir.h"
#include "valves/avalve.h"
#include "window/body.h"
#include "diagram/gview.h"

#include <QGridLayout>
#include <QLineEdit>
#include <QScreen>
#include <QtTest>

namespace {

aValve *valve(Body &body, int number)
{
    return static_cast<aValve *>(body.findNode(number, aNode::Valve));
}

// Each valve's conditions and times as one line, for valves that have any.
QStringList rules(Body &body)
{
    QStringList out;
    const auto terms = [](const Condition &c) {
        QStringList t;
        for (const CondTerm *term : c)
            t << term->node->nodeName + (term->flowing ? "+" : "-");
        return t.join(',');
    };
    for (aNode *node : body.nodeList()) {
        if (node->nodeKind != aNode::Valve)
            continue;
        auto *v = static_cast<aValve *>(node);
        QStringList parts;
        for (const Condition &c : v->condToOpen)
            parts << "open if " + terms(c);
        for (const Condition &c : v->condToClose)
            parts << "close if " + terms(c);
        // A time shows its field; a field without a time would mislead.
        if (v->timeToOpenOn || !v->timeToOpenField()->isHidden())
            parts << QString("opens after %1").arg(v->timeToOpenOn ? v->openTimer->interval() : -1);
        if (v->timeToCloseOn || !v->timeToCloseField()->isHidden())
            parts << QString("closes after %1").arg(v->timeToCloseOn ? v->closeTimer->interval() : -1);
        if (!parts.isEmpty())
            out << v->label + ": " + parts.join("; ");
    }
    return out;
}

// Row of the window's panel grid that holds a widget, directly or in a sub-layout.
int panelRow(Body &body, QWidget *widget)
{
    auto *grid = qobject_cast<QGridLayout *>(body.findChild<QWidget *>("CenterW")->layout());
    for (int i = 0, row, column, rowSpan, columnSpan; i < grid->count(); ++i) {
        grid->getItemPosition(i, &row, &column, &rowSpan, &columnSpan);
        QLayoutItem *item = grid->itemAt(i);
        if (item->widget() == widget || (item->layout() && item->layout()->indexOf(widget) >= 0))
            return row;
    }
    return -1;
}

} // namespace

class TestPlant : public QObject
{
    Q_OBJECT

private slots:
    void nodesAndLinks();
    void rules_data();
    void rules();
    void panelRows_data();
    void panelRows();
};

void TestPlant::nodesAndLinks()
{
    TempWorkDir dir;
    loadConfig(dir, "NODE 1 - 0 a\nNODE 2 - 0 b\nNODE 3 - 0 c\nVALVE 1 0 N2 1 v1\nVALVE 2 255 Ar 1 v2\n"
                    "NODE 4 - 0 j 50 50 5 5\nVALVE 01 1 N2 1 second\nMFC 1 0 N2 1 DUMMY\n"
                    "MFC 2 1 N2 1 Dummy Dev ch 1 2 3 4 100 0.05\n"
                    "CONNECT NODE 1 NODE 9\nCONNECT NODE 1 NODE 2\nCONNECT NODE 2 NODE 3\nCONNECT NODE 3 NODE 1\n"
                    "CONNECT NODE 2 NODE 2\nTELSO_CH X VALVE 5\nTELSO_CH Y NODE 3\n"
                    "CONNECT Valve 1 NODE 4\nCONNECT VALVE 2 NODE 4\nCONNECT VALVE 1 NODE 4\n"
                    "TELSO_CH L1 VALVE 1\nTELSO_CH L2 VALVE 1\nTELSO_CH \"\" VALVE 1\nEXCLUSIVE 1 2 99\nEXCLUSIVE 2 1 1\n"
                    "REMOTE_CLIENTS Op a.b\nVALVE 7\nVALVE 3 2 \"N2,Ar\" 1.5 \"Line A\" Dev1 ch3 10 20 5 6 n_on extra\n"
                    "VALVE 4 -1 Ar abc L Dev1 ch4 1.5 y 3 4 NON\n");
    MessageCapture capture;
    Body body;
    QStringList items; // name|column|gas|gases|label|cf|x,y,w,h|device|channel|normally on|on
    for (const int n : {7, 3, 4, 2}) {
        const aValve *v = valve(body, n);
        items << QStringList({v->nodeName, QString::number(v->panelColumn), v->gas, v->gasList.join('+'), v->label,
                              QString::number(v->cf), QString("%1,%2,%3,%4").arg(v->x).arg(v->y).arg(v->w).arg(v->h),
                              v->hwNode, v->channel, QString::number(v->normallyOn), QString::number(v->isOn())})
                     .join('|');
    }
    QCOMPARE(items, (QStringList{"7|0||| |0|0,0,0,0|||0|0", "3|2|N2,Ar|N2+Ar|N2,Ar Line A|1.5|10,20,5,6|Dev1|ch3|1|1",
                                 "4|0|Ar|Ar|Ar L|0|0,0,3,4|Dev1|ch4|0|0", "2|255|Ar|Ar|Ar v2|1|0,0,0,0|||0|0"}));
    QCOMPARE(capture.messages().filter("skipped"),
             (QStringList{"CONNECT skipped, no such node: NODE 1 NODE 9",
                          "CONNECT skipped, it would close a loop between Node 3 and Node 1",
                          "CONNECT skipped, it would close a loop between Node 2 and Node 2",
                          "CONNECT skipped, no such node: Valve 1 NODE 4", "TELSO_CH skipped, no such node: X VALVE 5",
                          "REMOTE_CLIENTS: \"a.b\" is not a client name; skipped"}));
    aNode *a = body.findNode(1, 0), *b = body.findNode(2, 0), *c = body.findNode(3, 0), *j = body.findNode(4, 0);
    QCOMPARE(b->children, QList<aNode *>{a});
    QCOMPARE(c->children, QList<aNode *>{b});
    QCOMPARE(c->busNames, QStringList{"Y"});
    QVERIFY(c->isFlowing()); // every walk ends
    // Type words are exact ("Valve" is none); children at equal x keep the order of adding.
    QCOMPARE(j->children, (QList<aNode *>{valve(body, 2), valve(body, 1)}));
    QCOMPARE(valve(body, 1)->parents, QList<aNode *>{j});
    // A second valve of the same number is never found; an empty bus name is none.
    QCOMPARE(valve(body, 1)->busNames, (QStringList{"L1", "L2"}));
    // Only the exact word DUMMY hides the MFC's name and information.
    auto *dummy = static_cast<aMFC *>(body.findNode(1, aNode::MFC));
    auto *named = static_cast<aMFC *>(body.findNode(2, aNode::MFC));
    QCOMPARE(dummy->label + "|" + named->label, QString("     |Dummy"));
    QVERIFY(dummy->infoFrame()->isHidden() && !named->infoFrame()->isHidden());
    QCOMPARE(QString::number(named->minFlow) + " " + named->deviceAddress(), QString("5 Dev.ch"));
    // A valve named twice in a group is listed twice; a valve that does not exist is left out.
    QCOMPARE(valve(body, 1)->exclusiveValves, (QList<aValve *>{valve(body, 2), valve(body, 2), valve(body, 2)}));
    QCOMPARE(valve(body, 2)->exclusiveValves, (QList<aValve *>{valve(body, 1), valve(body, 1), valve(body, 1)}));
}

void TestPlant::rules_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QStringList>("rules");
    QTest::addColumn<QStringList>("log");

    const QByteArray three = "VALVE 1 0 N2 1 L1\nVALVE 2 1 Ar 1 L2\nVALVE 3 2 H2 1 L3\nMFC 1 0 N2 1 M\n";
    // The last reference needs no state word; "M1" finds no MFC yet and ends its condition; a first
    // term that finds nothing leaves an empty condition; a line cut to two words by "#" stops the rest.
    QTest::newRow("conditions to open")
        << three + "COND_TO_OPEN 1 2 ON 3 off 2\nCOND_TO_OPEN V2 V1 on M1 ON 3 ON\nCOND_TO_OPEN 3 99 ON\n"
                   "COND_TO_OPEN 1 \"2 # ON\" 3 ON\nCOND_TO_OPEN 2 1 ON\n"
        << QStringList{"N2 L1: open if 2+,3-", "Ar L2: open if 1+", "H2 L3: open if "}
        << QStringList{"Setting a condition to Open:: for N2 L1 : [Valve Ar L2]:[1], [Valve H2 L3]:[0], ",
                       "Setting a condition to Open:: for Ar L2 : [Valve N2 L1]:[1], ",
                       "Setting a condition to Open:: for H2 L3 : "};
    // "V3" reads as the number 0; a valve that does not exist stops the rest.
    QTest::newRow("conditions to close")
        << "VALVE 0 0 N2 1 zero\n" + three + "COND_TO_CLOSE 1 V3 ON\nCOND_TO_CLOSE 3 1 X\nCOND_TO_CLOSE 5 1 ON\n"
                                             "COND_TO_CLOSE 1 3 ON\n"
        << QStringList{"N2 L1: close if 0+", "H2 L3: close if 1-"}
        << QStringList{"Setting a condition to Close:: for N2 L1 : [Valve N2 zero]:[1], ",
                       "Setting a condition to Close:: for H2 L3 : [Valve N2 L1]:[0], "};
    // Each key stops at its first failing entry; "#" inside quotes still cuts the minutes to "\"2".
    QTest::newRow("times")
        << three + "TIME_TO_OPEN valve 1 1.50\nTIME_TO_OPEN MFC 1 2\nTIME_TO_OPEN VALVE 2 3\n"
                   "TIME_TO_CLOSE VALVE 2 10\nTIME_TO_CLOSE VALVE 3 \"2 # x\"\nTIME_TO_CLOSE VALVE 9 10\nTIME_TO_CLOSE VALVE 1 10\n"
        << QStringList{"N2 L1: opens after 90000", "Ar L2: closes after 600000", "H2 L3: closes after -1"}
        << QStringList{"Setting a time to open:: for N2 L1 : 1.5", "Setting a time to close:: for Ar L2 : 10",
                       "Setting a time to close:: for H2 L3 : 0"};
    QTest::newRow("one second at least")
        << three + "TIME_TO_OPEN VALVE 1 0.001\nTIME_TO_CLOSE VALVE 2 0.01\n"
        << QStringList{"N2 L1: opens after 1000", "Ar L2: closes after 1000"}
        << QStringList{"Valv [N2 L1] : time to open 0.001 min is below one second; one second is used",
                       "Setting a time to open:: for N2 L1 : 0.001",
                       "Valv [Ar L2] : time to close 0.01 min is below one second; one second is used",
                       "Setting a time to close:: for Ar L2 : 0.01"};
}

void TestPlant::rules()
{
    QFETCH(QByteArray, text);
    QFETCH(QStringList, rules);
    QFETCH(QStringList, log);

    TempWorkDir dir;
    loadConfig(dir, text);
    Body body;
    QCOMPARE(::rules(body), rules);
    QStringList logTexts; // without their time stamps
    for (const QString &line : QString::fromUtf8(dir.read("log.log")).split('\n', Qt::SkipEmptyParts))
        logTexts << line.section(" : ", 1);
    QCOMPARE(logTexts, log);
}

void TestPlant::panelRows_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QList<int>>("rows"); // MFCs, diagram, valves

    QTest::newRow("defaults") << QByteArray() << QList<int>{0, 1, 2};
    QTest::newRow("swapped") << QByteArray("MFC_PANEL 2\nVALVE_PANEL 0\n") << QList<int>{2, 1, 0};
    QTest::newRow("not a number") << QByteArray("VALVE_PANEL abc\n") << QList<int>{0, 1, 0};
    QTest::newRow("same row") << QByteArray("MFC_PANEL 2\n") << QList<int>{2, 1, 2};
    QTest::newRow("far off row") << QByteArray("DISP_PANEL 100000000\n") << QList<int>{0, 0, 2};
    QByteArray many;
    for (int i = 2; i <= 41; ++i)
        many += QString("MFC %1 %1 N2 1 M%1 MF c%1\n").arg(i).toLatin1();
    QTest::newRow("40 MFCs more") << many << QList<int>{0, 1, 2};
}

void TestPlant::panelRows()
{
    QFETCH(QByteArray, text);
    QFETCH(QList<int>, rows);

    TempWorkDir dir;
    loadConfig(dir, text + "VALVE 1 0 N2 1 a\nMFC 1 0 N2 1 m\n");
    Body body;
    QCOMPARE((QList<int>{panelRow(body, body.findNode(1, aNode::MFC)), panelRow(body, body.diagram()),
                         panelRow(body, valve(body, 1))}),
             rows);
    QVERIFY(body.width() <= body.screen()->availableSize().width()); // however many panels
}

QTEST_MAIN(TestPlant)
#include "tst_plant.moc"
