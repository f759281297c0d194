#include "mfc/amfc.h"
#include "support/nodebus.h"

#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QtTest>

namespace {

// The MFC "MFC1" (node 3, device Dev1.ch1, bus name Line1), fed by a source of
// factor sourceCf unless that is 0: display and device units are then the same.
struct Rig
{
    explicit Rig(double sourceCf = 0, double minFlowA = 0, double minFlowB = 0)
        : source("1", 1, aNode::PlainNode, "N2", sourceCf, "N2", {}, {}, 10, 10, 10, 10, nullptr),
          mfc("3", 0, "N2", 1.0, "MFC1", "Dev1", "ch1", 100, 50, 20, 20, minFlowA, minFlowB, &bus.telso)
    {
        mfc.busNames << "Line1";
        if (sourceCf != 0)
            link(&mfc, &source);
    }
    QLineEdit *field(const char *name) { return mfc.findChild<QLineEdit *>(name); }
    static QStringList setPoint(const QString &announced, const QString &value)
    {
        return {"Kestrune.Line1>System _EvNewStat MFC Set Point " + announced,
                QStringLiteral("Kestrune.3>Dev1.ch1 SetRunMode ") + (value.toDouble() > 0 ? "1" : "2"),
                "Kestrune.3>Dev1.ch1 SetValue " + value};
    }

    NodeBus bus;
    aNode source;
    aMFC mfc;
};

const QString device = QStringLiteral("Dev1.ch1>Kestrune ");

struct SetPoint
{
    double sourceCf, minFlowB; // the minimum flow is 100 * minFlowB
    QString purge, typed, announced, value; // value empty: refused, nothing sent
    QString fieldAfter = QString(); // empty: as typed
    bool enter = false;             // Enter in the field instead of the Set button
};

// A line from the device, what the field of a flow or of a set value shows, and what the MFC says.
struct Report
{
    double sourceCf;
    QString line, shown;
    QStringList lines = QStringList();
    QString states = QString(); // on and off as the MFC shows them
};

} // namespace

class TestMfc : public QObject
{
    Q_OBJECT

private slots:
    void setPoint_data();
    void setPoint();
    void deviceReports_data();
    void deviceReports();
    void flowCheck_data();
    void flowCheck();
    void newGasResendsSetPoint();
    void deviceSender();
};

void TestMfc::setPoint_data()
{
    QTest::addColumn<SetPoint>("c");

    // At cf 2 the device gets half the display value; the minimum flow is 5.
    QTest::newRow("min flow: 2 becomes 0") << SetPoint{2, 0.05, "1", "4", "4", "0", "  0.0"};
    QTest::newRow("min flow: 2.5 becomes 5") << SetPoint{2, 0.05, "1", "5", "5", "5", " 10.0"};
    QTest::newRow("min flow: 5 stays") << SetPoint{2, 0.05, "1", "10", "10", "5"};
    QTest::newRow("min flow off with a factor 0") << SetPoint{2, 0, "1", "4", "4", "2"};
    QTest::newRow("cf 1.42") << SetPoint{1.42, 0, "1", "142", "142", "100"};
    QTest::newRow("10.4 rounds down") << SetPoint{0, 0, "1", "10.4", "10", "10"};
    QTest::newRow("10.5 rounds up") << SetPoint{0, 0, "1", "10.5", "11", "11"};
    QTest::newRow("-0.7 gives 0") << SetPoint{0, 0, "1", "-0.7", "0", "0"};
    QTest::newRow("purge 0 closes") << SetPoint{0, 0, "0", "50", "50", "0"};
    QTest::newRow("purge 2.5 counts as 3") << SetPoint{0, 0, "2.5", "10", "10", "30"};
    QTest::newRow("huge set point clamped") << SetPoint{0, 0, "1", "1e300", "2147483647", "2147483647"};
    QTest::newRow("huge set point and purge") << SetPoint{0, 0, "1e300", "1e300", "2147483647", "4611686014132420600"};
    QTest::newRow("infinite purge counts as 0") << SetPoint{0, 0, "inf", "10", "10", "0"};
    QTest::newRow("Enter applies like Set") << SetPoint{0, 0, "1", "12", "12", "12", {}, true};
    QTest::newRow("blanks around a number") << SetPoint{0, 0, "1", " 7.5 ", "8", "8"};
    QTest::newRow("letter O for a zero") << SetPoint{0, 0, "1", "5O", "", "", {}, true};
    QTest::newRow("not a number") << SetPoint{0, 0, "1", "abc", "", ""};
    QTest::newRow("empty") << SetPoint{0, 0, "1", "", "", "", {}, true};
    QTest::newRow("infinite") << SetPoint{0, 0, "1", "inf", "", ""};
    QTest::newRow("decimal comma") << SetPoint{0, 0, "1", "2,5", "", ""};
}

void TestMfc::setPoint()
{
    QFETCH(SetPoint, c);

    Rig rig(c.sourceCf, 100, c.minFlowB);
    QVERIFY(rig.bus.login());
    QSignalSpy refused(&rig.mfc, &aMFC::setPointRefused);
    rig.field("Purge")->setText(c.purge);
    emit rig.field("Purge")->editingFinished();
    QCOMPARE(rig.bus.settle(), QStringList()); // heard with the next set point only
    QLineEdit *field = rig.field("NewSetPoint");
    field->setText(c.typed);
    if (c.enter)
        QTest::keyClick(field, Qt::Key_Return);
    else
        QTest::mouseClick(rig.mfc.findChild<QPushButton *>("UpdateSetPoint"), Qt::LeftButton);
    QCOMPARE(field->text(), c.fieldAfter.isEmpty() ? c.typed : c.fieldAfter);
    QCOMPARE(rig.bus.settle(), c.value.isEmpty() ? QStringList() : Rig::setPoint(c.announced, c.value));
    QCOMPARE(refused.size(), c.value.isEmpty() ? 1 : 0);
    if (c.value.isEmpty()) {
        QCOMPARE(refused.first().first().toString(), "MFC1: \"" + c.typed + "\" is not a number; nothing was sent");
        QVERIFY(field->styleSheet().contains("255, 200, 200")); // marked until edited
        QTest::keyClick(field, Qt::Key_0);
        QCOMPARE(field->styleSheet(), QString("background-color: rgb(255, 255, 255);"));
    }
}

void TestMfc::deviceReports_data()
{
    QTest::addColumn<Report>("c");

    const QString flow = device + "_ChangedValue ", setValue = device + "_ChangedSettingValue ";
    const QString asked = QStringLiteral("Dev1.ch1>Kestrune.3 @");
    const QString announced = QStringLiteral("Kestrune.Line1>System _Ev_ChangedValue ");
    QTest::newRow("flow, width 5") << Report{0, flow + "0.5", "  0.5", {announced + "0.5"}};
    QTest::newRow("flow at cf 2") << Report{2, flow + "0.3", "  0.6", {announced + "0.6"}};
    QTest::newRow("flow at a factor too small to invert") << Report{1e-310, flow + "0.3", "  0.3", {announced + "0.3"}};
    QTest::newRow("flow not finite") << Report{2, flow + "inf", "  0.0", {announced + "0"}};
    QTest::newRow("flow asked for: not announced") << Report{0, asked + "GetValue 0.5", "  0.5"};
    QTest::newRow("set value at cf 2") << Report{2, setValue + "50", "100.0", {}, "on"};
    QTest::newRow("other channel") << Report{0, "Dev1.ch2>Kestrune.3 @GetValue 53", ""};
    QTest::newRow("no value") << Report{0, device + "_ChangedValue", ""};
    QTest::newRow("minimum flow asked for: no answer") << Report{0, "Client.p>Kestrune.Line1 GetMinFlow", ""};
    // On and off follow the set value; the same state again is no change.
    QTest::newRow("on and off") << Report{0, asked + "GetSettingValue 100\n" + setValue + "50\n" + setValue + "0",
                                          "  0.0", {}, "on off"};
}

void TestMfc::deviceReports()
{
    QFETCH(Report, c);

    Rig rig(c.sourceCf);
    QVERIFY(rig.bus.login());
    QStringList states;
    connect(&rig.mfc, &aNode::newStat, this, [&] { states << (rig.mfc.isOn() ? "on" : "off"); });
    QCOMPARE(rig.bus.settle({c.line}), c.lines); // a line feed in it makes several lines
    QCOMPARE(rig.field(c.line.contains(QLatin1String("SettingValue")) ? "NowSetPoint" : "Floating")->text(), c.shown);
    QCOMPARE(states.join(' '), c.states);
}

void TestMfc::flowCheck_data()
{
    QTest::addColumn<QStringList>("steps"); // set values, flows, and waits for the hold's end
    QTest::addColumn<QStringList>("events");

    using L = QStringList;

    QTest::newRow("on: within 10 %, then off by 10 %; once per change")
        << L{"set 100", "95", "hold", "109.9", "90", "80", "100", "101"}
        << L{"_FlowIsAbnormal 100 90", "_FlowIsNormal 100 100"};
    QTest::newRow("off: gas through a closed controller")
        << L{"set 0", "0.9", "hold", "0", "1", "5", "0.5"} << L{"_FlowIsAbnormal 0 1", "_FlowIsNormal 0 0.5"};
    QTest::newRow("not finite counts as 0")
        << L{"set inf", "5", "hold", "inf", "nan", "1e400", "-inf"} << L{"_FlowIsAbnormal 0 5", "_FlowIsNormal 0 0"};
    QTest::newRow("huge") << L{"set -1e308", "-1e308", "hold", "1e308"} << L{"_FlowIsAbnormal -1e+308 1e+308"};
    // Before the device reports its set value no flow is judged.
    QTest::newRow("no set value yet") << L{"5", "0.5", "5", "set 0", "hold", "5"} << L{"_FlowIsAbnormal 0 5"};
    // A new set value resets the result without a word and holds the check again.
    QTest::newRow("new set value") << L{"set 100", "0.5", "hold", "set 200", "hold"}
                                   << L{"_FlowIsAbnormal 100 0.5", "_FlowIsAbnormal 200 0.5"};
}

void TestMfc::flowCheck()
{
    QFETCH(QStringList, steps);
    QFETCH(QStringList, events);

    Rig rig;
    rig.mfc.setCheckHoldInterval(300);
    QVERIFY(rig.bus.login());
    QStringList lines;
    for (const QString &step : steps) {
        if (step == QLatin1String("hold")) {
            QVERIFY(rig.mfc.checkHeld);
            QTRY_VERIFY_WITH_TIMEOUT(!rig.mfc.checkHeld, 10000);
        } else {
            const bool set = step.startsWith(QLatin1String("set "));
            lines += rig.bus.settle({device + (set ? "_ChangedSettingValue " + step.mid(4) : "_ChangedValue " + step)});
        }
    }
    lines += rig.bus.settle();
    QCOMPARE(lines.filter("_Ev_Flow").replaceInStrings("Kestrune.3>System _Ev", ""), events);
}

void TestMfc::newGasResendsSetPoint()
{
    Rig rig(2.0);
    QVERIFY(rig.bus.login());
    QCOMPARE(rig.bus.atLogin, (QStringList{"Kestrune.3>System flgon Dev1", "Kestrune.3>System flgon Dev1.ch1",
                                           "Kestrune.3>Dev1.ch1 GetValue", "Kestrune.3>Dev1.ch1 GetSettingValue"}));
    emit rig.source.newStat();
    QCOMPARE(rig.bus.settle(), QStringList()); // nothing set yet, nothing to send again
    rig.mfc.setSetPointText(QStringLiteral("20"));
    QCOMPARE(rig.bus.settle(), Rig::setPoint("20", "10"));
    // Another gas flowing in, another factor: the same display set point is another device value.
    rig.source.cf = 4.0;
    emit rig.source.newStat();
    QCOMPARE(rig.bus.settle(), Rig::setPoint("20", "5"));

    // The information box shows the factors now in use, and lets the operator go on working.
    rig.bus.settle({device + "_ChangedValue 50"});
    QTest::mouseClick(rig.mfc.findChild<QPushButton *>("InfoB"), Qt::LeftButton);
    QMessageBox *box = nullptr;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *b = qobject_cast<QMessageBox *>(w); b && b->isVisible())
            box = b;
    QVERIFY(box && !box->isModal());
    QCOMPARE(box->text(), QStringLiteral("Setting SV = 5, MFC_SV = 0, MFC_PV = 50\n"
                                         "MFC to Disp Factor = 4, Disp to MFC Factor = 0.25\n"
                                         "My Cf = 1, Cf of Gases = 4(N2)"));
}

// Each MFC compares every device message's sender with its address; the
// comparison must match exactly the address it sends its commands to.
void TestMfc::deviceSender()
{
    // "node|channel|sender": node and channel, node alone, a longer node, letter case, node and channel alike,
    // a dot inside the node, split elsewhere, no channel, no channel with a sub-name sent, an empty sender
    for (const QString &row : QStringLiteral("Dev1|ch1|Dev1.ch1 Dev1|ch1|Dev1 Dev1|ch1|Dev11.ch1 Dev1|ch1|dev1.ch1 "
                                             "A|A|A.A Box.a|c|Box.a.c Box|a.c|Box.a.c Dev1||Dev1 Dev1||Dev1. Dev1|ch1|")
                                  .split(' ')) {
        const QStringList f = row.split('|');
        aMFC mfc("1", 0, "N2", 1.0, "M", f[0], f[1], 0, 0, 1, 1, 0, 0, nullptr);
        QVERIFY2(mfc.isDevice(f[2]) == (f[2] == mfc.deviceAddress()), qPrintable(row));
    }
}

QTEST_MAIN(TestMfc)
#include "tst_mfc.moc"
