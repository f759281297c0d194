#include "nodes/ticktimer.h"
#include "support/nodebus.h"
#include "support/refusalwatch.h"
#include "valves/avalve.h"

#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

namespace {

std::unique_ptr<aValve> makeValve(Telso *telso, const QString &flag = QString())
{
    return std::make_unique<aValve>(QStringLiteral("V3"), 2, QStringLiteral("N2"), 1.0, QStringLiteral("Line1"),
                                    QStringLiteral("Dev1"), QStringLiteral("ch3"), 10, 20, 30, 40, telso, flag);
}

QString statEvent(const QString &busName, int open)
{
    return QStringLiteral("Kestrune.%1>System _EvNewStat Valve %2").arg(busName).arg(open);
}

// As the operator confirms a typed time.
void enter(QLineEdit *field, const QString &text)
{
    field->setText(text);
    emit field->editingFinished();
}

} // namespace

class TestValve : public QObject
{
    Q_OBJECT

private slots:
    void busTraffic_data();
    void busTraffic();
    void typedTime_data();
    void typedTime();
    void countdowns();
    void statAnswer_data();
    void statAnswer();
    void refusalDoesNotHoldTheBus();
};

void TestValve::busTraffic_data()
{
    QTest::addColumn<QString>("flag");
    QTest::addColumn<bool>("normallyOn");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<bool>("open");

    // Only the hardware node itself answers for the channel, whoever is addressed.
    QTest::newRow("on") << QString() << false << "Dev1>Kestrune.V3 @IsOn ch3 1" << true;
    QTest::newRow("normally on, on") << "N_ON" << true << "Dev1>Kestrune @IsOn ch3 1" << false;
    QTest::newRow("normally on, off; flag in any case") << "n_On" << true << "Dev1>X @IsOn ch3 0" << true;
    QTest::newRow("2 is not on") << QString() << false << "Dev1>Kestrune.V3 @IsOn ch3 2" << false;
    QTest::newRow("other sender") << QString() << false << "Dev2>Kestrune.V3 @IsOn ch3 1" << false;
    QTest::newRow("sender with sub-name") << QString() << false << "Dev1.ch3>Kestrune.V3 @IsOn ch3 1" << false;
    QTest::newRow("other channel") << QString() << false << "Dev1>Kestrune.V3 @IsOn ch4 1" << false;
    QTest::newRow("channel only") << QString() << false << "Dev1>Kestrune.V3 @IsOn ch3" << false;
}

void TestValve::busTraffic()
{
    QFETCH(QString, flag);
    QFETCH(bool, normallyOn);
    QFETCH(QString, answer);
    QFETCH(bool, open);

    NodeBus bus;
    auto v = makeValve(&bus.telso, flag);
    v->busNames << QStringLiteral("L1") << QStringLiteral("L2");
    QCOMPARE(v->isOn(), normallyOn);
    QVERIFY(bus.login());
    QCOMPARE(bus.atLogin, QStringList({"Kestrune.V3>System flgon Dev1", "Kestrune.V3>Dev1 IsOn ch3"}));
    // A change is announced under every bus name; the state it already has is not.
    const QStringList opened{statEvent("L1", 1), statEvent("L2", 1)}, closed{statEvent("L1", 0), statEvent("L2", 0)};
    QCOMPARE(bus.settle({answer}), open == normallyOn ? QStringList() : open ? opened : closed);
    QCOMPARE(v->isOn(), open);

    // A normally-on valve is open while its channel is off.
    const QString on = QStringLiteral("Kestrune.V3>Dev1 ChOn ch3"), off = QStringLiteral("Kestrune.V3>Dev1 ChOff ch3");
    v->vClose();
    QCOMPARE(bus.settle(), QStringList{normallyOn ? on : off} + closed);
    QTest::mouseClick(v->findChild<QPushButton *>(QStringLiteral("B")), Qt::LeftButton);
    QCOMPARE(bus.settle(), QStringList{normallyOn ? off : on} + opened);
    v->vOpen(); // again: the device is told again
    QCOMPARE(bus.settle(), QStringList{normallyOn ? off : on} + opened);
    v->vOpen(false);
    QCOMPARE(bus.settle(), QStringList{normallyOn ? on : off} + closed);
}

void TestValve::typedTime_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("interval"); // 0: switched off

    QTest::newRow("1:30") << "1:30" << 90000;
    QTest::newRow("1.5") << "1.5" << 90000;
    QTest::newRow(":30") << ":30" << 30000;
    QTest::newRow("2:") << "2:" << 120000;
    QTest::newRow("1:2:3") << "1:2:3" << 60000;
    QTest::newRow("abc") << "abc" << 0;
    QTest::newRow("-1:30") << "-1:30" << 0;
    QTest::newRow("1,5 is not a number") << "1,5" << 0;
}

void TestValve::typedTime()
{
    QFETCH(QString, typed);
    QFETCH(int, interval);

    auto v = makeValve(nullptr);
    for (const bool opening : {true, false}) {
        v->showStat(opening); // the countdown is not due: only the time changes
        enter(opening ? v->timeToOpenField() : v->timeToCloseField(), typed);
        QCOMPARE(opening ? v->timeToOpenOn : v->timeToCloseOn, interval > 0);
        if (interval > 0)
            QCOMPARE((opening ? v->openTimer : v->closeTimer)->interval(), interval);
    }
}

void TestValve::countdowns()
{
    auto v = makeValve(nullptr);
    v->busNames << QStringLiteral("L1"); // without a bus client, not announced
    v->setTimeToClose(1);
    QVERIFY(!v->closeTimer->isActive()); // closed: waits for an opening
    v->setTimeToOpen(0.001);
    QTRY_VERIFY_WITH_TIMEOUT(v->isOn(), 10000);
    QVERIFY(v->closeTimer->isActive());
    QCOMPARE(v->timeToOpenField()->text(), QStringLiteral("0:01")); // a second at least
    v->tickTimeToClose(59999);
    QCOMPARE(v->timeToCloseField()->text(), QStringLiteral("0:59"));
    QCOMPARE(v->timeToCloseField()->alignment() & v->timeToOpenField()->alignment(), Qt::AlignCenter);

    v->setTimeToOpen(1.5);
    v->vClose(); // stops the countdown to close, starts the one to open
    QVERIFY(!v->closeTimer->isActive() && !v->closeTimer->ticking());
    QVERIFY(v->openTimer->isActive());
    QCOMPARE(v->timeToCloseField()->text(), QStringLiteral("1:00"));
    v->setTimeToOpen(1.5); // shows the full time at once, not a second less
    QCOMPARE(v->timeToOpenField()->text(), QStringLiteral("1:30"));
    enter(v->timeToOpenField(), QStringLiteral("1.5"));
    QCOMPARE(v->timeToOpenField()->styleSheet(), QStringLiteral("background-color: rgb(250, 250, 241);"));

    v->openClose(); // opened by hand: the countdown to open stops
    QVERIFY(!v->openTimer->isActive() && !v->openTimer->ticking());
    QVERIFY(v->closeTimer->isActive());

    // A new time while it runs starts it again, counting on.
    enter(v->timeToCloseField(), QStringLiteral("2"));
    QVERIFY(v->closeTimer->isActive());
    QCOMPARE(v->timeToCloseField()->styleSheet(), QStringLiteral("background-color: rgb(250, 250, 241);"));
    // Switched off while it runs, the countdown stops and shows its time at rest.
    enter(v->timeToCloseField(), QStringLiteral("0"));
    QVERIFY(!v->timeToCloseOn);
    QVERIFY(!v->closeTimer->isActive() && !v->closeTimer->ticking());
    QCOMPARE(v->timeToCloseField()->text(), QStringLiteral("2:00"));
}

void TestValve::statAnswer_data()
{
    QTest::addColumn<QString>("request");
    QTest::addColumn<QStringList>("answers");

    QTest::newRow("leaf valve, parameters ignored")
        << "C>Kestrune.Line1 Stat x" << QStringList{"Kestrune.Line1>C @Stat V[N2 Line1,Close]"};
    QTest::newRow("same name on two nodes")
        << "C>Kestrune.Twin Stat" << QStringList{"Kestrune.Twin>C @Stat V[N2 Line1,Close]", "Kestrune.Twin>C @Stat "};
    QTest::newRow("no sub-name: not for a node") << "C>Kestrune Stat" << QStringList{};
    QTest::newRow("case matters") << "C>Kestrune.line1 Stat" << QStringList{};
}

void TestValve::statAnswer()
{
    QFETCH(QString, request);
    QFETCH(QStringList, answers);

    NodeBus bus;
    auto valve = makeValve(&bus.telso);
    aNode lone(QStringLiteral("1"), 1, aNode::PlainNode, QString(), 1.0, QString(), QString(), QString(), 0, 0, 1, 1,
               &bus.telso); // a junction without children
    valve->busNames << QStringLiteral("Line1") << QStringLiteral("Twin");
    lone.busNames << QStringLiteral("Twin");
    QVERIFY(bus.login());
    QCOMPARE(bus.settle({request}), answers);
}

void TestValve::refusalDoesNotHoldTheBus()
{
    NodeBus bus;
    auto v = makeValve(&bus.telso);
    v->busNames << QStringLiteral("Line1");
    CondTerm never{&bus.barrier, false}; // the barrier always flows
    v->condToOpen.append(Condition{&never});
    QVERIFY(bus.login());

    RefusalWatch watch(false);
    // Should a box ever hold the caller, it is closed after a while so that
    // the test fails instead of hanging.
    QTimer watchdog;
    connect(&watchdog, &QTimer::timeout, this, [] {
        for (QWidget *w : QApplication::topLevelWidgets())
            if (qobject_cast<QMessageBox *>(w))
                w->close();
    });
    watchdog.start(10000);
    // The gas routing opens the valve: it is the N2 source of Line1.
    const QString request = QStringLiteral("C>Kestrune.Line1 SetNewGas N2 1");
    const QString answer = QStringLiteral("Kestrune.Line1>C Ok: 1");
    QCOMPARE(bus.settle({request, request}), QStringList({answer, answer}));
    QCOMPARE(watch.boxes.size(), 2);
    for (const RefusalWatch::Box &box : std::as_const(watch.boxes)) {
        QVERIFY(box.box && box.box->isVisible()); // nobody has answered them yet
        QCOMPARE(box.parent, v.get());
    }
    QVERIFY(watch.boxes.at(0).box != watch.boxes.at(1).box);
    QVERIFY(!v->isOn());
}

QTEST_MAIN(TestValve)
#include "tst_valve.moc"
