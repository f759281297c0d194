#include "bus/telso.h"
#include "nodes/ticktimer.h"
#include "support/fakeserver.h"
#include "support/refusalwatch.h"
#include "support/tempworkdir.h"
#include "valves/avalve.h"
#include "valves/conditions.h"
#include "valves/style.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include <climits>
#include <memory>

namespace {

const QString openStyle = QStringLiteral("background-color: rgb(255, 255, 121); color: rgb(0, 0, 0);");
const QString closedStyle = QStringLiteral("background-color: rgb(149, 149, 149); color: rgb(255, 255, 255);");
const QString idleStyle = QStringLiteral("background-color: rgb(241, 241, 241);");
const QString countingStyle = QStringLiteral("background-color: rgb(250, 250, 241);");
const QString barrierReply = QStringLiteral("Kestrune.Barrier>T @Stat ");

std::unique_ptr<aValve> makeValve(Telso *telso, const QString &flag = QString(), const QString &name = "V3",
                                  const QString &channel = "ch3")
{
    return std::make_unique<aValve>(name, 2, QStringLiteral("N2"), 1.0, QStringLiteral("Line1"), QStringLiteral("Dev1"),
                                    channel, 10, 20, 30, 40, telso, flag);
}

// Stands in for an MFC in a "Stat" answer.
class FlowNode : public aNode
{
public:
    explicit FlowNode(int x)
        : aNode(QStringLiteral("5"), 0, MFC, QString(), 1.0, QStringLiteral("MFC1"), QString(), QString(), x, 0, 1, 1,
                nullptr)
    {
    }
    QString statusText() const override { return QStringLiteral("M[MFC1,10,9.5]"); }
};

// A message server on loopback and the program's client; the nodes made
// before login() follow it. A plain node named "Barrier" answers "Stat", so
// that a test can tell when everything sent before has been handled.
struct Bus
{
    Bus() : telso(QString(), QString(), QStringLiteral("Kestrune"), QStringLiteral("Kestrune"))
    {
        barrier.busNames << QStringLiteral("Barrier");
    }
    bool login() { return loginTelso(telso, server) && server.waitForLines(count, 10000); }
    // Lines the program wrote since the last call, up to the barrier's answer.
    QStringList settle()
    {
        server.send(QStringLiteral("T>Kestrune.Barrier Stat"));
        if (!QTest::qWaitFor([this] { return server.lines().contains(barrierReply); }, 10000))
            return {QStringLiteral("no answer from the barrier")};
        QStringList lines = server.lines();
        server.clearLines();
        lines.removeOne(barrierReply);
        return lines;
    }

    TempWorkDir dir;
    FakeServer server;
    Telso telso;
    aNode barrier{QStringLiteral("99"),
                  99,
                  aNode::PlainNode,
                  QString(),
                  1.0,
                  QString(),
                  QString(),
                  QString(),
                  0,
                  0,
                  1,
                  1,
                  &telso};
    int count = 0; // lines expected right after login
};

QString statEvent(const QString &name, int open)
{
    return QStringLiteral("Kestrune.%1>System _EvNewStat Valve %2").arg(name).arg(open);
}

} // namespace

class TestValve : public QObject
{
    Q_OBJECT

private slots:
    void construction_data();
    void construction();
    void style_data();
    void style();
    void button();
    void countdownText_data();
    void countdownText();
    void idleDisplay();
    void typedTime_data();
    void typedTime();
    void timerOpensValve();
    void manualOpenStopsCountdown();
    void switchingOffStopsCountdown();

    void synchronisation_data();
    void synchronisation();
    void openCloseTraffic_data();
    void openCloseTraffic();
    void sharedChannel();
    void exclusiveTraffic();
    void statAnswer_data();
    void statAnswer();
    void refusalDoesNotHoldTheBus();
};

void TestValve::construction_data()
{
    QTest::addColumn<QString>("flag");
    QTest::addColumn<bool>("normallyOn");

    QTest::newRow("no flag") << "" << false;
    QTest::newRow("N_ON") << "N_ON" << true;
    QTest::newRow("n_On") << "n_On" << true;
    QTest::newRow("other word") << "NON" << false;
}

void TestValve::construction()
{
    QFETCH(QString, flag);
    QFETCH(bool, normallyOn);

    auto v = makeValve(nullptr, flag);
    QCOMPARE(v->normallyOn, normallyOn);
    QCOMPARE(v->stat, normallyOn);
    QCOMPARE(v->nodeKind, int(aNode::Valve));
    QCOMPARE(v->label, QStringLiteral("N2 Line1"));
    QCOMPARE(v->typeName(), QStringLiteral("Valve"));
    QCOMPARE(v->statusText(), normallyOn ? QStringLiteral("V[N2 Line1,Open]") : QStringLiteral("V[N2 Line1,Close]"));
    QCOMPARE(v->findChild<QLabel *>(QStringLiteral("L1"))->text(), QStringLiteral("N2"));
    QCOMPARE(v->findChild<QLabel *>(QStringLiteral("L2"))->text(), QStringLiteral("Line1"));
    auto *b = v->findChild<QPushButton *>(QStringLiteral("B"));
    QCOMPARE(b->text(), normallyOn ? QStringLiteral("Opening") : QStringLiteral("Closing"));
    QCOMPARE(b->styleSheet(), normallyOn ? openStyle : closedStyle);
    QVERIFY(v->timeToOpenField()->isHidden());
    QVERIFY(v->timeToCloseField()->isHidden());
    QCOMPARE(v->timeToOpenField()->text(), QStringLiteral("---"));
    QCOMPARE(v->timeToCloseField()->styleSheet(), idleStyle);
}

void TestValve::style_data()
{
    QTest::addColumn<int>("state");
    QTest::addColumn<QString>("sheet");
    QTest::addColumn<QString>("text");

    QTest::newRow("open") << 0 << openStyle << "Opening";
    QTest::newRow("closed") << 1 << closedStyle << "Closing";
    QTest::newRow("other") << 2 << ""
                           << "";
    QTest::newRow("negative") << -1 << ""
                              << "";
}

void TestValve::style()
{
    QFETCH(int, state);
    QFETCH(QString, sheet);
    QFETCH(QString, text);

    const Style s;
    QCOMPARE(s.buttonStyle(state), sheet);
    QCOMPARE(s.buttonText(state), text);
}

void TestValve::button()
{
    auto v = makeValve(nullptr);
    auto *b = v->findChild<QPushButton *>(QStringLiteral("B"));
    QSignalSpy changes(v.get(), &aNode::newStat);
    QTest::mouseClick(b, Qt::LeftButton);
    QVERIFY(v->stat);
    QCOMPARE(b->text(), QStringLiteral("Opening"));
    v->doubleClickAction();
    QVERIFY(!v->stat);
    QCOMPARE(b->styleSheet(), closedStyle);
    QCOMPARE(changes.count(), 2);
}

void TestValve::countdownText_data()
{
    QTest::addColumn<int>("remain");
    QTest::addColumn<QString>("text");

    QTest::newRow("125500") << 125500 << "2:05";
    QTest::newRow("600000") << 600000 << "10:00";
    QTest::newRow("599000") << 599000 << "9:59";
    QTest::newRow("59999") << 59999 << "0:59";
    QTest::newRow("0") << 0 << "0:00";
    QTest::newRow("-1, a stopped timer") << -1 << "0:00";
    QTest::newRow("-999") << -999 << "0:00";
    QTest::newRow("largest interval") << INT_MAX << "35791:23";
}

void TestValve::countdownText()
{
    QFETCH(int, remain);
    QFETCH(QString, text);

    auto v = makeValve(nullptr);
    v->tickTimeToOpen(remain);
    QCOMPARE(v->timeToOpenField()->text(), text);
    QCOMPARE(v->timeToOpenField()->styleSheet(), countingStyle);
    QCOMPARE(v->timeToCloseField()->text(), QStringLiteral("---"));
    v->tickTimeToClose(remain);
    QCOMPARE(v->timeToCloseField()->text(), text);
    QCOMPARE(v->timeToCloseField()->styleSheet(), countingStyle);
}

void TestValve::idleDisplay()
{
    auto v = makeValve(nullptr);
    v->showStat(true); // flowing: the countdown to open waits for a closing
    v->setTimeToOpen(10);
    QVERIFY(!v->openTimer->isActive());
    v->showBlankTimeToOpen();
    QCOMPARE(v->timeToOpenField()->text(), QStringLiteral("10:00"));
    QCOMPARE(v->timeToOpenField()->styleSheet(), idleStyle);
    v->tickTimeToOpen(599000);
    QCOMPARE(v->timeToOpenField()->text(), QStringLiteral("9:59"));
    QCOMPARE(v->timeToOpenField()->styleSheet(), countingStyle);

    // Closing starts the countdown with the full time.
    v->vClose();
    QVERIFY(v->openTimer->isActive());
    QCOMPARE(v->openTimer->remainingTime() > 599000, true);
}

void TestValve::typedTime_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<int>("interval");

    QTest::newRow("1:30") << "1:30" << true << 90000;
    QTest::newRow("1.5") << "1.5" << true << 90000;
    QTest::newRow(":30") << ":30" << true << 30000;
    QTest::newRow("2:") << "2:" << true << 120000;
    QTest::newRow("1:2:3") << "1:2:3" << true << 60000;
    QTest::newRow("0:0.6") << "0:0.6" << true << 600;
    QTest::newRow("abc") << "abc" << false << 0;
    QTest::newRow("0") << "0" << false << 0;
    QTest::newRow("-1:30") << "-1:30" << false << 0;
    QTest::newRow("1,5 is not a number") << "1,5" << false << 0;
    QTest::newRow("inf") << "inf" << false << 0;
    QTest::newRow("nan") << "nan" << false << 0;
    QTest::newRow("too long is capped") << "99999" << true << INT_MAX;
}

void TestValve::typedTime()
{
    QFETCH(QString, typed);
    QFETCH(bool, enabled);
    QFETCH(int, interval);

    auto v = makeValve(nullptr);
    v->showStat(true); // neither countdown starts, so the typed text stays
    v->openTimer->setInterval(0);
    v->timeToOpenField()->show();
    v->timeToOpenField()->clear();
    QTest::keyClicks(v->timeToOpenField(), typed);
    QTest::keyClick(v->timeToOpenField(), Qt::Key_Return);
    QCOMPARE(v->timeToOpenOn, enabled);
    QCOMPARE(v->openTimer->interval(), interval);
    QCOMPARE(v->timeToOpenField()->text(), typed);

    v->showStat(false);
    v->closeTimer->setInterval(0);
    v->timeToCloseField()->clear();
    QTest::keyClicks(v->timeToCloseField(), typed);
    QTest::keyClick(v->timeToCloseField(), Qt::Key_Return);
    QCOMPARE(v->timeToCloseOn, enabled);
    QCOMPARE(v->closeTimer->interval(), interval);
}

void TestValve::timerOpensValve()
{
    auto v = makeValve(nullptr);
    v->setTimeToClose(1); // closed: waits for the opening
    QVERIFY(!v->closeTimer->isActive());
    v->setTimeToOpen(0.001);
    QVERIFY(v->openTimer->isActive());
    QTRY_VERIFY_WITH_TIMEOUT(v->stat, 10000);
    QCOMPARE(v->timeToOpenField()->text(), QStringLiteral("0:00"));
    QCOMPARE(v->timeToOpenField()->styleSheet(), idleStyle);
    QVERIFY(v->closeTimer->isActive());
}

void TestValve::manualOpenStopsCountdown()
{
    auto v = makeValve(nullptr);
    v->setTimeToOpen(1.5);
    QVERIFY(v->openTimer->isActive());
    QCOMPARE(v->timeToOpenField()->text(), QStringLiteral("1:30")); // at once, not a second later
    QCOMPARE(v->timeToOpenField()->styleSheet(), countingStyle);
    v->openClose();
    QVERIFY(v->stat);
    QVERIFY(!v->openTimer->isActive());
    QVERIFY(!v->openTimer->tickTimer->isActive());
    QCOMPARE(v->timeToOpenField()->text(), QStringLiteral("1:30"));
    QCOMPARE(v->timeToOpenField()->styleSheet(), idleStyle);
}

void TestValve::switchingOffStopsCountdown()
{
    auto v = makeValve(nullptr);
    v->timeToOpenField()->show();
    v->setTimeToOpen(2);
    QVERIFY(v->openTimer->isActive());
    v->timeToOpenField()->setText(QStringLiteral("0"));
    emit v->timeToOpenField()->editingFinished();
    QVERIFY(!v->timeToOpenOn);
    QVERIFY(!v->openTimer->isActive());
    QVERIFY(!v->openTimer->tickTimer->isActive());
    QCOMPARE(v->timeToOpenField()->text(), QStringLiteral("2:00"));
    QCOMPARE(v->timeToOpenField()->styleSheet(), idleStyle);

    v->showStat(true);
    v->setTimeToClose(1);
    QVERIFY(v->closeTimer->isActive());
    v->timeToCloseField()->setText(QStringLiteral("-1"));
    emit v->timeToCloseField()->editingFinished();
    QVERIFY(!v->closeTimer->isActive());
    QVERIFY(!v->closeTimer->tickTimer->isActive());
    QCOMPARE(v->timeToCloseField()->text(), QStringLiteral("1:00"));

    // Switching off a timer that does not run keeps the typed text.
    v->timeToOpenField()->setText(QStringLiteral("abc"));
    emit v->timeToOpenField()->editingFinished();
    QCOMPARE(v->timeToOpenField()->text(), QStringLiteral("abc"));
}

void TestValve::synchronisation_data()
{
    QTest::addColumn<QString>("flag");
    QTest::addColumn<QString>("reply");
    QTest::addColumn<bool>("open");
    QTest::addColumn<QStringList>("events");

    const QString ev1 = statEvent(QStringLiteral("Line1"), 1);
    const QString ev0 = statEvent(QStringLiteral("Line1"), 0);
    QTest::newRow("on: open") << ""
                              << "Dev1>Kestrune.V3 @IsOn ch3 1" << true << QStringList{ev1};
    QTest::newRow("off: already closed") << ""
                                         << "Dev1>Kestrune.V3 @IsOn ch3 0" << false << QStringList{};
    QTest::newRow("normally on, on: closed") << "N_ON"
                                             << "Dev1>Kestrune @IsOn ch3 1" << false << QStringList{ev0};
    QTest::newRow("normally on, off: already open") << "N_ON"
                                                    << "Dev1>X @IsOn ch3 0" << true << QStringList{};
    QTest::newRow("not a number is 0") << ""
                                       << "Dev1>Kestrune.V3 @IsOn ch3 on" << false << QStringList{};
    QTest::newRow("2 is not on") << ""
                                 << "Dev1>Kestrune.V3 @IsOn ch3 2" << false << QStringList{};
    QTest::newRow("extra parameters") << ""
                                      << "Dev1>Kestrune.V3 @IsOn ch3 1 x" << true << QStringList{ev1};
    QTest::newRow("other sender") << ""
                                  << "Dev2>Kestrune.V3 @IsOn ch3 1" << false << QStringList{};
    QTest::newRow("sender with sub-name") << ""
                                          << "Dev1.ch3>Kestrune.V3 @IsOn ch3 1" << false << QStringList{};
    QTest::newRow("other channel") << ""
                                   << "Dev1>Kestrune.V3 @IsOn ch4 1" << false << QStringList{};
    QTest::newRow("channel only") << ""
                                  << "Dev1>Kestrune.V3 @IsOn ch3" << false << QStringList{};
}

void TestValve::synchronisation()
{
    QFETCH(QString, flag);
    QFETCH(QString, reply);
    QFETCH(bool, open);
    QFETCH(QStringList, events);

    Bus bus;
    auto v = makeValve(&bus.telso, flag);
    v->busNames << QStringLiteral("Line1");
    QVERIFY(bus.login());
    QCOMPARE(bus.settle(), QStringList({"Kestrune.V3>System flgon Dev1", "Kestrune.V3>Dev1 IsOn ch3"}));

    QSignalSpy changes(v.get(), &aNode::newStat);
    bus.server.send(reply);
    QCOMPARE(bus.settle(), events);
    QCOMPARE(v->stat, open);
    QCOMPARE(changes.count(), events.size());
}

void TestValve::openCloseTraffic_data()
{
    QTest::addColumn<QString>("flag");
    QTest::addColumn<QString>("onCommand");
    QTest::addColumn<QString>("offCommand");

    QTest::newRow("normal") << ""
                            << "Kestrune.V3>Dev1 ChOn ch3"
                            << "Kestrune.V3>Dev1 ChOff ch3";
    QTest::newRow("normally on") << "N_ON"
                                 << "Kestrune.V3>Dev1 ChOff ch3"
                                 << "Kestrune.V3>Dev1 ChOn ch3";
}

void TestValve::openCloseTraffic()
{
    QFETCH(QString, flag);
    QFETCH(QString, onCommand);
    QFETCH(QString, offCommand);

    Bus bus;
    auto v = makeValve(&bus.telso, flag);
    v->busNames << QStringLiteral("L1") << QStringLiteral("L2") << QStringLiteral("L3");
    QVERIFY(bus.login());
    bus.settle();

    const QStringList opened{onCommand, statEvent("L1", 1), statEvent("L2", 1), statEvent("L3", 1)};
    const QStringList closed{offCommand, statEvent("L1", 0), statEvent("L2", 0), statEvent("L3", 0)};
    v->vOpen();
    QCOMPARE(bus.settle(), opened);
    v->vOpen(); // again: command and events again
    QCOMPARE(bus.settle(), opened);
    v->vClose();
    QCOMPARE(bus.settle(), closed);
    v->vOpen(false);
    QCOMPARE(bus.settle(), closed);
    v->openClose();
    QCOMPARE(bus.settle(), opened);
}

void TestValve::sharedChannel()
{
    Bus bus;
    auto a = makeValve(&bus.telso, QString(), QStringLiteral("V3"));
    auto b = makeValve(&bus.telso, QString(), QStringLiteral("V4"));
    a->busNames << QStringLiteral("LA");
    b->busNames << QStringLiteral("LB");
    QVERIFY(bus.login());
    QCOMPARE(bus.settle(), QStringList({"Kestrune.V3>System flgon Dev1", "Kestrune.V3>Dev1 IsOn ch3",
                                        "Kestrune.V4>System flgon Dev1", "Kestrune.V4>Dev1 IsOn ch3"}));
    bus.server.send(QStringLiteral("Dev1>Kestrune.V3 @IsOn ch3 1"));
    QCOMPARE(bus.settle(), QStringList({statEvent("LA", 1), statEvent("LB", 1)}));
    QVERIFY(a->stat);
    QVERIFY(b->stat);
}

void TestValve::exclusiveTraffic()
{
    Bus bus;
    auto v1 = makeValve(&bus.telso, QString(), QStringLiteral("V1"), QStringLiteral("c1"));
    auto v2 = makeValve(&bus.telso, QString(), QStringLiteral("V2"), QStringLiteral("c2"));
    v1->busNames << QStringLiteral("L1");
    v2->busNames << QStringLiteral("L2");
    v1->exclusiveValves << v2.get();
    v2->exclusiveValves << v1.get();
    v2->setTimeToOpen(5); // the partner's close sequence restarts its countdown
    QVERIFY(bus.login());
    v2->vOpen();
    QVERIFY(!v2->openTimer->isActive());
    bus.settle();

    QSignalSpy tried(v1.get(), &aValve::triedToOpenExclusiveValves);
    QSignalSpy partnerTried(v2.get(), &aValve::triedToOpenExclusiveValves);
    v1->vOpen();
    QCOMPARE(bus.settle(), QStringList({"Kestrune.V2>Dev1 ChOff c2", statEvent("L2", 0), "Kestrune.V1>Dev1 ChOn c1",
                                        statEvent("L1", 1)}));
    QCOMPARE(tried.count(), 1);
    QCOMPARE(partnerTried.count(), 0);
    QVERIFY(v2->openTimer->isActive());
}

void TestValve::statAnswer_data()
{
    QTest::addColumn<QString>("request");
    QTest::addColumn<QStringList>("answers");

    QTest::newRow("junction over valve and MFC")
        << "Client.panel>Kestrune.Main Stat"
        << QStringList{"Kestrune.Main>Client.panel @Stat V[N2 Main,Open] M[MFC1,10,9.5] "};
    QTest::newRow("leaf valve") << "C>Kestrune.Line1 Stat" << QStringList{"Kestrune.Line1>C @Stat V[N2 Line1,Close]"};
    QTest::newRow("plain node without children") << "C>K.Empty Stat" << QStringList{"K.Empty>C @Stat "};
    QTest::newRow("reached through two parents")
        << "C>Kestrune.Top Stat" << QStringList{"Kestrune.Top>C @Stat V[N2 Line1,Close]  V[N2 Line1,Close]  "};
    QTest::newRow("same name on two nodes")
        << "C>Kestrune.Twin Stat" << QStringList{"Kestrune.Twin>C @Stat V[N2 Line1,Close]", "Kestrune.Twin>C @Stat "};
    QTest::newRow("parameters ignored") << "C>Kestrune.Line1 Stat x y"
                                        << QStringList{"Kestrune.Line1>C @Stat V[N2 Line1,Close]"};
    QTest::newRow("no sub-name: not for a node") << "C>Kestrune Stat" << QStringList{};
    QTest::newRow("unknown name") << "C>Kestrune.Nobody Stat" << QStringList{};
    QTest::newRow("case matters") << "C>Kestrune.main Stat" << QStringList{};
}

void TestValve::statAnswer()
{
    QFETCH(QString, request);
    QFETCH(QStringList, answers);

    Bus bus;
    auto node = [&bus](const QString &label, int x) {
        return std::make_unique<aNode>(QStringLiteral("1"), 1, aNode::PlainNode, QString(), 1.0, label, QString(),
                                       QString(), x, 0, 1, 1, &bus.telso);
    };
    auto link = [](aNode *parent, aNode *child) {
        parent->addChild(child);
        child->addParent(parent);
    };
    // Main: a junction over an open valve and an MFC; Line1: a closed valve
    // that feeds both A and B, which both feed Top; Empty: a lone junction.
    auto junction = node(QStringLiteral("Main"), 0);
    auto open = std::make_unique<aValve>(QStringLiteral("V1"), 0, QStringLiteral("N2"), 1.0, QStringLiteral("Main"),
                                         QStringLiteral("Dev1"), QStringLiteral("c1"), 10, 0, 1, 1, &bus.telso,
                                         QStringLiteral("N_ON"));
    FlowNode mfc(20);
    link(junction.get(), &mfc);
    link(junction.get(), open.get());
    auto leaf = makeValve(&bus.telso);
    auto a = node(QStringLiteral("A"), 0);
    auto b = node(QStringLiteral("B"), 1);
    auto top = node(QStringLiteral("Top"), 0);
    link(a.get(), leaf.get());
    link(b.get(), leaf.get());
    link(top.get(), a.get());
    link(top.get(), b.get());
    auto empty = node(QStringLiteral("Empty"), 0);

    junction->busNames << QStringLiteral("Main");
    leaf->busNames << QStringLiteral("Line1") << QStringLiteral("Twin");
    top->busNames << QStringLiteral("Top");
    empty->busNames << QStringLiteral("Empty") << QStringLiteral("Twin");
    QVERIFY(bus.login());
    bus.settle();

    bus.server.send(request);
    QCOMPARE(bus.settle(), answers);
}

void TestValve::refusalDoesNotHoldTheBus()
{
    Bus bus;
    auto v = makeValve(&bus.telso);
    v->busNames << QStringLiteral("Line1");
    CondTerm never{&bus.barrier, false}; // the barrier always flows
    v->condToOpen.append(Condition{&never});
    // The gas routing opens the valve: it is the N2 source of Line1.
    QVERIFY(bus.login());
    bus.settle();

    RefusalWatch watch(false);
    // Should a box ever hold the caller, it is dismissed after a while so
    // that the test fails instead of hanging.
    QTimer watchdog;
    watchdog.setSingleShot(true);
    connect(&watchdog, &QTimer::timeout, this, [&watch] {
        for (const RefusalWatch::Box &b : std::as_const(watch.boxes)) {
            if (b.box)
                b.box->close();
        }
    });
    watchdog.start(3000);
    bus.server.sendRaw("C>Kestrune.Line1 SetNewGas N2 1\nC>Kestrune.Line1 Stat\n");
    QVERIFY(bus.server.waitForLines(1));
    QCOMPARE(bus.settle(), (QStringList{"Kestrune.Line1>C Ok: 1", "Kestrune.Line1>C @Stat V[N2 Line1,Close]"}));
    QCOMPARE(watch.boxes.size(), 1);
    QVERIFY(watch.boxes.at(0).box); // still open: nobody has answered it
    QVERIFY(watch.boxes.at(0).box->isVisible());
    QCOMPARE(watch.boxes.at(0).parent, v.get());
    QCOMPARE(watch.boxes.at(0).title, QStringLiteral("Can't open the Valve"));

    // A later refusal is a box of its own.
    bus.server.send(QStringLiteral("C>Kestrune.Line1 SetNewGas N2 1"));
    QTRY_COMPARE_WITH_TIMEOUT(watch.boxes.size(), 2, 10000);
    QVERIFY(watch.boxes.at(1).box != watch.boxes.at(0).box);
    QVERIFY(watch.boxes.at(0).box->isVisible());
    QCOMPARE(bus.settle(), QStringList{"Kestrune.Line1>C Ok: 1"});
    QVERIFY(!v->stat);
}

QTEST_MAIN(TestValve)
#include "tst_valve.moc"
