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
    QString purge, typed, announced, value;
    QString fieldAfter = QString(); // empty: as typed
};

// A line from the device, what the field of a flow or of a set value shows,
// and what the MFC says.
struct Report
{
    double sourceCf;
    QString line;
    QString shown;
    QStringList lines = QStringList();
};

} // namespace

class TestMfc : public QObject
{
    Q_OBJECT

private slots:
    void setPoint_data();
    void setPoint();
    void operatorEntry_data();
    void operatorEntry();
    void deviceReports_data();
    void deviceReports();
    void onOffFollowsSetValue();
    void flowCheck_data();
    void flowCheck();
    void newGasResendsSetPoint();
    void infoBox();
    void deviceSender_data();
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
}

void TestMfc::setPoint()
{
    QFETCH(SetPoint, c);

    Rig rig(c.sourceCf, 100, c.minFlowB);
    QVERIFY(rig.bus.login());
    rig.field("Purge")->setText(c.purge);
    emit rig.field("Purge")->editingFinished();
    QCOMPARE(rig.bus.settle(), QStringList()); // heard with the next set point only
    rig.field("NewSetPoint")->setText(c.typed);
    QTest::mouseClick(rig.mfc.findChild<QPushButton *>("UpdateSetPoint"), Qt::LeftButton);
    QCOMPARE(rig.field("NewSetPoint")->text(), c.fieldAfter.isEmpty() ? c.typed : c.fieldAfter);
    QCOMPARE(rig.bus.settle(), Rig::setPoint(c.announced, c.value));
}

void TestMfc::operatorEntry_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("enter");
    QTest::addColumn<QString>("sent"); // empty: refused, nothing sent

    QTest::newRow("Enter applies like Set") << "12" << true << "12";
    QTest::newRow("blanks around a number") << " 7.5 " << false << "8";
    QTest::newRow("letter O for a zero") << "5O" << true << "";
    QTest::newRow("not a number") << "abc" << false << "";
    QTest::newRow("empty") << "" << true << "";
    QTest::newRow("infinite") << "inf" << false << "";
    QTest::newRow("decimal comma") << "2,5" << false << "";
}

void TestMfc::operatorEntry()
{
    QFETCH(QString, typed);
    QFETCH(bool, enter);
    QFETCH(QString, sent);

    Rig rig;
    QVERIFY(rig.bus.login());
    QSignalSpy refused(&rig.mfc, &aMFC::setPointRefused);
    QLineEdit *field = rig.field("NewSetPoint");
    field->setText(typed);
    if (enter)
        QTest::keyClick(field, Qt::Key_Return);
    else
        QTest::mouseClick(rig.mfc.findChild<QPushButton *>("UpdateSetPoint"), Qt::LeftButton);
    QCOMPARE(field->text(), typed);
    QCOMPARE(rig.bus.settle(), sent.isEmpty() ? QStringList() : Rig::setPoint(sent, sent));
    QCOMPARE(refused.size(), sent.isEmpty() ? 1 : 0);
    if (sent.isEmpty()) {
        QCOMPARE(refused.first().first().toString(), "MFC1: \"" + typed + "\" is not a number; nothing was sent");
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
    QTest::newRow("flow not finite") << Report{2, flow + "inf", "  0.0", {announced + "0"}};
    QTest::newRow("flow asked for: not announced") << Report{0, asked + "GetValue 0.5", "  0.5"};
    QTest::newRow("set value at cf 2") << Report{2, setValue + "50", "100.0"};
    QTest::newRow("other channel") << Report{0, "Dev1.ch2>Kestrune.3 @GetValue 53", ""};
    QTest::newRow("no value") << Report{0, device + "_ChangedValue", ""};
    QTest::newRow("minimum flow asked for: no answer") << Report{0, "Client.p>Kestrune.Line1 GetMinFlow", ""};
}

void TestMfc::deviceReports()
{
    QFETCH(Report, c);

    Rig rig(c.sourceCf);
    QVERIFY(rig.bus.login());
    QCOMPARE(rig.bus.settle({c.line}), c.lines);
    QCOMPARE(rig.field(c.line.contains(QLatin1String("SettingValue")) ? "NowSetPoint" : "Floating")->text(), c.shown);
}

void TestMfc::onOffFollowsSetValue()
{
    Rig rig;
    QVERIFY(rig.bus.login());
    QStringList seen;
    connect(&rig.mfc, &aNode::newStat, this, [&] { seen << (rig.mfc.isOn() ? "on" : "off"); });
    const QString report = device + "_ChangedSettingValue ";
    // The same state again is no change; reports send nothing to the device.
    QCOMPARE(rig.bus.settle({"Dev1.ch1>Kestrune.3 @GetSettingValue 100", report + "50", report + "0"}), QStringList());
    QCOMPARE(seen, QStringList({"on", "off"}));
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
    emit rig.source.newStat();
    QCOMPARE(rig.bus.settle(), QStringList()); // nothing set yet, nothing to send again
    rig.mfc.setSetPointText(QStringLiteral("20"));
    QCOMPARE(rig.bus.settle(), Rig::setPoint("20", "10"));
    // Another gas flowing in, another factor: the same display set point is
    // another device value.
    rig.source.cf = 4.0;
    emit rig.source.newStat();
    QCOMPARE(rig.bus.settle(), Rig::setPoint("20", "5"));
}

void TestMfc::infoBox()
{
    Rig rig(2.0);
    QVERIFY(rig.bus.login());
    rig.bus.settle({device + "_ChangedValue 50"});
    rig.mfc.setSetPointText(QStringLiteral("100"));
    QTest::mouseClick(rig.mfc.findChild<QPushButton *>("InfoB"), Qt::LeftButton);
    QMessageBox *box = nullptr;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *b = qobject_cast<QMessageBox *>(w); b && b->isVisible())
            box = b;
    QVERIFY(box && !box->isModal()); // the operator goes on working
    QCOMPARE(box->text(), QStringLiteral("Setting SV = 50, MFC_SV = 0, MFC_PV = 50\n"
                                         "MFC to Disp Factor = 2, Disp to MFC Factor = 0.5\n"
                                         "My Cf = 1, Cf of Gases = 2(N2)"));
}

void TestMfc::deviceSender_data()
{
    QTest::addColumn<QString>("hwNode");
    QTest::addColumn<QString>("channel");
    QTest::addColumn<QString>("sender");

    QTest::newRow("node and channel") << "Dev1" << "ch1" << "Dev1.ch1";
    QTest::newRow("node alone") << "Dev1" << "ch1" << "Dev1";
    QTest::newRow("longer node") << "Dev1" << "ch1" << "Dev11.ch1";
    QTest::newRow("letter case") << "Dev1" << "ch1" << "dev1.ch1";
    QTest::newRow("node and channel alike") << "A" << "A" << "A.A";
    QTest::newRow("dot inside the node") << "Box.a" << "c" << "Box.a.c";
    QTest::newRow("dot inside, split elsewhere") << "Box" << "a.c" << "Box.a.c";
    QTest::newRow("no channel") << "Dev1" << "" << "Dev1";
    QTest::newRow("no channel, sub-name sent") << "Dev1" << "" << "Dev1.";
    QTest::newRow("empty sender") << "Dev1" << "ch1" << "";
}

// Each MFC compares every device message's sender with its address; the
// comparison must match exactly the address it sends its commands to.
void TestMfc::deviceSender()
{
    QFETCH(QString, hwNode);
    QFETCH(QString, channel);
    QFETCH(QString, sender);
    aMFC mfc(QStringLiteral("1"), 0, QStringLiteral("N2"), 1.0, QStringLiteral("M"), hwNode, channel, 0, 0, 1, 1, 0, 0,
             nullptr);
    QCOMPARE(mfc.isDevice(sender), sender == mfc.deviceAddress());
}

QTEST_MAIN(TestMfc)
#include "tst_mfc.moc"
