#include "config/config.h"
#include "mfc/amfc.h"
#include "nodes/anode.h"
#include "nodes/ticktimer.h"
#include "support/configtext.h"
#include "support/messagecapture.h"
#include "support/tempworkdir.h"
#include "valves/avalve.h"
#include "window/body.h"
#include "diagram/gview.h"

#include <QGridLayout>
#include <QLineEdit>
#include <QtTest>

namespace {

aValve *valve(Body &body, int number)
{
    return static_cast<aValve *>(body.findNode(number, aNode::Valve));
}

QStringList logTexts(const TempWorkDir &dir)
{
    QStringList texts;
    const QStringList lines = QString::fromUtf8(dir.read("log.log")).split('\n', Qt::SkipEmptyParts);
    for (const QString &line : lines)
        texts << line.section(" : ", 1);
    return texts;
}

// Row and column of an item in the window's panel grid.
QPoint panelCell(Body &body, QLayoutItem *wanted)
{
    auto *grid = qobject_cast<QGridLayout *>(body.findChild<QWidget *>("CenterW")->layout());
    for (int i = 0; i < grid->count(); ++i) {
        if (grid->itemAt(i) == wanted) {
            int row, column, rowSpan, columnSpan;
            grid->getItemPosition(i, &row, &column, &rowSpan, &columnSpan);
            return QPoint(column, row);
        }
    }
    return QPoint(-1, -1);
}

QLayoutItem *layoutItemOf(Body &body, QWidget *widget)
{
    auto *grid = qobject_cast<QGridLayout *>(body.findChild<QWidget *>("CenterW")->layout());
    for (int i = 0; i < grid->count(); ++i) {
        QLayoutItem *item = grid->itemAt(i);
        if (item->widget() == widget || (item->layout() && item->layout()->indexOf(widget) >= 0))
            return item;
    }
    return nullptr;
}

} // namespace

class TestPlant : public QObject
{
    Q_OBJECT

private slots:
    void valveWithOnlyAName();
    void valveItems();
    void dummyOnlyAsWritten();
    void duplicateNamesFindTheFirst();
    void connectTypeWordsExact();
    void connectDecidedSkips();
    void conditionsToOpen();
    void conditionsToClose();
    void times();
    void hashInsideQuotesCuts();
    void exclusiveGroups();
    void busNames();
    void panelRows_data();
    void panelRows();
};

void TestPlant::valveWithOnlyAName()
{
    TempWorkDir dir;
    loadConfig(dir, "VALVE 7\n");
    Body body;
    aValve *v = valve(body, 7);
    QVERIFY(v);
    QCOMPARE(v->nodeName, QString("7"));
    QCOMPARE(v->panelColumn, 0);
    QCOMPARE(v->gas, QString());
    QCOMPARE(v->label, QString(" "));
    QCOMPARE(v->cf, 0.0);
    QCOMPARE(QRect(v->x, v->y, v->w, v->h), QRect(0, 0, 0, 0));
    QVERIFY(!v->normallyOn);
    QVERIFY(!v->isOn());
}

void TestPlant::valveItems()
{
    TempWorkDir dir;
    loadConfig(dir, "VALVE 3 2 \"N2,Ar\" 1.5 \"Line A\" Dev1 ch3 10 20 5 6 n_on extra\n"
                    "VALVE 4 x Ar abc L Dev1 ch4 1.5 y 3 4 NON\n");
    Body body;
    aValve *v = valve(body, 3);
    QVERIFY(v);
    QCOMPARE(v->gas, QString("N2,Ar"));
    QCOMPARE(v->gasList, (QStringList{"N2", "Ar"}));
    QCOMPARE(v->cf, 1.5);
    QCOMPARE(v->label, QString("N2,Ar Line A"));
    QCOMPARE(v->hwNode, QString("Dev1"));
    QCOMPARE(v->channel, QString("ch3"));
    QCOMPARE(QRect(v->x, v->y, v->w, v->h), QRect(10, 20, 5, 6));
    QVERIFY(v->normallyOn);
    QVERIFY(v->isOn());

    aValve *w = valve(body, 4);
    QVERIFY(w);
    QCOMPARE(w->panelColumn, 0);
    QCOMPARE(w->cf, 0.0);
    QCOMPARE(w->x, 0); // "1.5" is not a whole number
    QCOMPARE(w->y, 0);
    QVERIFY(!w->normallyOn);

    // Both sit in row 0 of the valve panel, at their columns.
    auto *grid = qobject_cast<QGridLayout *>(layoutItemOf(body, v)->layout());
    QVERIFY(grid);
    int row, column, rs, cs;
    grid->getItemPosition(grid->indexOf(v), &row, &column, &rs, &cs);
    QCOMPARE(QPoint(column, row), QPoint(2, 0));
    grid->getItemPosition(grid->indexOf(w), &row, &column, &rs, &cs);
    QCOMPARE(QPoint(column, row), QPoint(0, 0));
}

void TestPlant::dummyOnlyAsWritten()
{
    TempWorkDir dir;
    loadConfig(dir, "MFC 1 0 N2 1 DUMMY\nMFC 2 1 N2 1 Dummy Dev ch 1 2 3 4 100 0.05\n");
    Body body;
    auto *dummy = static_cast<aMFC *>(body.findNode(1, aNode::MFC));
    auto *named = static_cast<aMFC *>(body.findNode(2, aNode::MFC));
    QVERIFY(dummy && named);
    QCOMPARE(dummy->label, QString("     "));
    QVERIFY(dummy->infoFrame()->isHidden());
    QCOMPARE(named->label, QString("Dummy"));
    QVERIFY(!named->infoFrame()->isHidden());
    QCOMPARE(named->minFlow, 5.0);
    QCOMPARE(named->deviceAddress(), QString("Dev.ch"));
}

void TestPlant::duplicateNamesFindTheFirst()
{
    TempWorkDir dir;
    loadConfig(dir, "VALVE 1 0 N2 1 first\nVALVE 01 1 N2 1 second\nMFC 1 0 N2 1 mfc\nNODE 1 - 0 node\n"
                    "TELSO_CH A VALVE 1\nTELSO_CH B MFC 1\nTELSO_CH C NODE 1\n");
    Body body;
    QCOMPARE(body.nodeList().size(), 4);
    QCOMPARE(body.nodeList().at(0)->busNames, QStringList{"A"});
    QCOMPARE(body.nodeList().at(1)->busNames, QStringList{});
    QCOMPARE(body.nodeList().at(2)->busNames, QStringList{"B"});
    QCOMPARE(body.nodeList().at(3)->busNames, QStringList{"C"});
    QCOMPARE(body.nodeList().at(3)->panelColumn, 1);
    QCOMPARE(body.findNode(1, 3), nullptr);
}

void TestPlant::connectTypeWordsExact()
{
    TempWorkDir dir;
    loadConfig(dir, "VALVE 1 0 N2 1 a\nVALVE 2 1 Ar 1 b\nNODE 1 - 0 j 50 50 5 5\n"
                    "CONNECT Valve 1 NODE 1\nCONNECT VALVE 2 NODE 1\nCONNECT VALVE 1 NODE 1\n");
    Body body;
    aNode *j = body.findNode(1, aNode::PlainNode);
    QCOMPARE(j->children.size(), 2);
    QCOMPARE(j->children.at(0), body.findNode(2, aNode::Valve)); // equal x: order of adding
    QCOMPARE(valve(body, 1)->parents, QList<aNode *>{j});
}

void TestPlant::connectDecidedSkips()
{
    TempWorkDir dir;
    loadConfig(dir, "NODE 1 - 0 a\nNODE 2 - 0 b\nNODE 3 - 0 c\n"
                    "CONNECT NODE 1 NODE 9\nCONNECT NODE 1 NODE 2\nCONNECT NODE 2 NODE 3\n"
                    "CONNECT NODE 3 NODE 1\nCONNECT NODE 2 NODE 2\nTELSO_CH X VALVE 5\nTELSO_CH Y NODE 3\n");
    MessageCapture capture;
    Body body;
    const QStringList messages = capture.messages();
    QVERIFY(messages.contains("CONNECT skipped, no such node: NODE 1 NODE 9"));
    QVERIFY(messages.contains("CONNECT skipped, it would close a loop between Node 3 and Node 1"));
    QVERIFY(messages.contains("CONNECT skipped, it would close a loop between Node 2 and Node 2"));
    QVERIFY(messages.contains("TELSO_CH skipped, no such node: X VALVE 5"));
    aNode *a = body.findNode(1, 0), *b = body.findNode(2, 0), *c = body.findNode(3, 0);
    QCOMPARE(b->children, QList<aNode *>{a});
    QCOMPARE(c->children, QList<aNode *>{b});
    QVERIFY(a->children.isEmpty());
    QCOMPARE(c->busNames, QStringList{"Y"});
    QVERIFY(c->isFlowing()); // every walk ends
}

void TestPlant::conditionsToOpen()
{
    TempWorkDir dir;
    loadConfig(dir, "VALVE 1 0 N2 1 L1\nVALVE 2 1 Ar 1 L2\nVALVE 3 2 H2 1 L3\nMFC 1 0 N2 1 M\n"
                    "COND_TO_OPEN 1 2 ON 3 off 2\n"
                    "COND_TO_OPEN V2 V1 on M1 ON 3 ON\n"
                    "COND_TO_OPEN 3 99 ON\n"
                    "COND_TO_OPEN 1 2\n"
                    "COND_TO_OPEN 2 1 ON\n");
    Body body;
    aValve *v1 = valve(body, 1), *v2 = valve(body, 2), *v3 = valve(body, 3);
    QCOMPARE(v1->condToOpen.size(), 1);
    const Condition c1 = v1->condToOpen.at(0);
    QCOMPARE(c1.size(), 2); // the last reference has no state word
    QCOMPARE(c1.at(0)->node, v2);
    QVERIFY(c1.at(0)->flowing);
    QCOMPARE(c1.at(1)->node, v3);
    QVERIFY(!c1.at(1)->flowing);
    // "M1" finds no MFC yet: the condition ends there.
    QCOMPARE(v2->condToOpen.size(), 1);
    QCOMPARE(v2->condToOpen.at(0).size(), 1);
    // A first term that finds nothing leaves an empty condition, which holds.
    QCOMPARE(v3->condToOpen.size(), 1);
    QVERIFY(v3->condToOpen.at(0).isEmpty());
    // Too few words stop every later entry.
    QCOMPARE(v2->condToOpen.size(), 1);

    QCOMPARE(logTexts(dir), (QStringList{
        "Setting a condition to Open:: for N2 L1 : [Valve Ar L2]:[1], [Valve H2 L3]:[0], ",
        "Setting a condition to Open:: for Ar L2 : [Valve N2 L1]:[1], ",
        "Setting a condition to Open:: for H2 L3 : ",
    }));
}

void TestPlant::conditionsToClose()
{
    TempWorkDir dir;
    loadConfig(dir, "VALVE 0 0 N2 1 zero\nVALVE 1 0 N2 1 L1\nVALVE 3 2 H2 1 L3\n"
                    "COND_TO_CLOSE 1 V3 ON\n"
                    "COND_TO_CLOSE 3 1 X\n"
                    "COND_TO_CLOSE 5 1 ON\n"
                    "COND_TO_CLOSE 1 3 ON\n");
    MessageCapture capture;
    Body body;
    aValve *v0 = valve(body, 0), *v1 = valve(body, 1), *v3 = valve(body, 3);
    // "V3" reads as the number 0 here.
    QCOMPARE(v1->condToClose.size(), 1);
    QCOMPARE(v1->condToClose.at(0).size(), 1);
    QCOMPARE(v1->condToClose.at(0).at(0)->node, v0);
    QCOMPARE(v3->condToClose.size(), 1);
    QVERIFY(!v3->condToClose.at(0).at(0)->flowing);
    QVERIFY(v1->condToOpen.isEmpty());
    QVERIFY(capture.contains("Set::N2 L1 flowing gas through the valve [Valve N2 zero]"));
    QCOMPARE(logTexts(dir), (QStringList{
        "Setting a condition to Close:: for N2 L1 : [Valve N2 zero]:[1], ",
        "Setting a condition to Close:: for H2 L3 : [Valve N2 L1]:[0], ",
    }));
}

void TestPlant::times()
{
    TempWorkDir dir;
    loadConfig(dir, "VALVE 1 0 N2 1 L1\nVALVE 2 1 Ar 1 L2\n"
                    "TIME_TO_OPEN valve 1 1.50\n"
                    "TIME_TO_OPEN MFC 1 2\n"
                    "TIME_TO_OPEN VALVE 2 3\n"
                    "TIME_TO_CLOSE VALVE 2 10\n"
                    "TIME_TO_CLOSE VALVE 9 10\n"
                    "TIME_TO_CLOSE VALVE 1 10\n");
    Body body;
    aValve *v1 = valve(body, 1), *v2 = valve(body, 2);
    QVERIFY(v1->timeToOpenOn);
    QCOMPARE(v1->openTimer->interval(), 90000);
    QVERIFY(!v1->timeToOpenField()->isHidden());
    QVERIFY(v1->timeToCloseField()->isHidden());
    QVERIFY(!v2->timeToOpenOn);
    QVERIFY(v2->timeToOpenField()->isHidden());
    QVERIFY(v2->timeToCloseOn);
    QCOMPARE(v2->closeTimer->interval(), 600000);
    QVERIFY(!v1->timeToCloseOn); // after a valve that does not exist
    QCOMPARE(logTexts(dir), (QStringList{"Setting a time to open:: for N2 L1 : 1.5",
                                         "Setting a time to close:: for Ar L2 : 10"}));
}

void TestPlant::hashInsideQuotesCuts()
{
    TempWorkDir dir;
    loadConfig(dir, "VALVE 1 0 N2 1 L1\nVALVE 2 0 N2 1 L2\nTIME_TO_OPEN VALVE 1 \"2 # x\"\n"
                    "COND_TO_OPEN 2 \"1 # ON\" 1 ON\n");
    Body body;
    QVERIFY(!valve(body, 1)->timeToOpenOn); // the minutes read as "\"2"
    QVERIFY(valve(body, 2)->condToOpen.isEmpty()); // cut to two words
}

void TestPlant::exclusiveGroups()
{
    TempWorkDir dir;
    loadConfig(dir, "VALVE 1 0 N2 1 a\nVALVE 2 1 N2 1 b\nVALVE 3 2 N2 1 c\nEXCLUSIVE 1 2 99\nEXCLUSIVE 3 1 1\n");
    Body body;
    aValve *v1 = valve(body, 1), *v2 = valve(body, 2), *v3 = valve(body, 3);
    QCOMPARE(v1->exclusiveValves, (QList<aValve *>{v2, v3, v3}));
    QCOMPARE(v2->exclusiveValves, QList<aValve *>{v1});
    QCOMPARE(v3->exclusiveValves, (QList<aValve *>{v1, v1}));
}

void TestPlant::busNames()
{
    TempWorkDir dir;
    loadConfig(dir, "VALVE 1 0 N2 1 a\nTELSO_CH L1 VALVE 1\nTELSO_CH L2 VALVE 1\nTELSO_CH \"\" VALVE 1\n");
    Body body;
    QCOMPARE(valve(body, 1)->busNames, (QStringList{"L1", "L2"}));
}

void TestPlant::panelRows_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("mfcRow");
    QTest::addColumn<int>("displayRow");
    QTest::addColumn<int>("valveRow");

    QTest::newRow("defaults") << QByteArray() << 0 << 1 << 2;
    QTest::newRow("swapped") << QByteArray("MFC_PANEL 2\nVALVE_PANEL 0\n") << 2 << 1 << 0;
    QTest::newRow("not a number") << QByteArray("VALVE_PANEL abc\n") << 0 << 1 << 0;
    QTest::newRow("same row") << QByteArray("MFC_PANEL 2\n") << 2 << 1 << 2;
    QTest::newRow("far off row") << QByteArray("DISP_PANEL 100000000\n") << 0 << 0 << 2;
}

void TestPlant::panelRows()
{
    QFETCH(QByteArray, text);
    QFETCH(int, mfcRow);
    QFETCH(int, displayRow);
    QFETCH(int, valveRow);

    TempWorkDir dir;
    loadConfig(dir, text + "VALVE 1 0 N2 1 a\nMFC 1 0 N2 1 m\n");
    Body body;
    QCOMPARE(panelCell(body, layoutItemOf(body, body.findNode(1, aNode::MFC))).y(), mfcRow);
    QCOMPARE(panelCell(body, layoutItemOf(body, body.diagram())).y(), displayRow);
    QCOMPARE(panelCell(body, layoutItemOf(body, valve(body, 1))).y(), valveRow);
}

QTEST_MAIN(TestPlant)
#include "tst_plant.moc"
