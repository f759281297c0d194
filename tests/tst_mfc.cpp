#include "bus/telso.h"
#include "mfc/amfc.h"
#include "support/fakeserver.h"
#include "support/tempworkdir.h"

#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

#include <cmath>
#include <memory>

// One MFC "MFC1" (node 3, device Dev1.ch1, bus name Line1) on a logged-in
// bus client, optionally fed by one source whose conversion factor is
// sourceCf (0: no source, so display and device units are the same).
struct Rig
{
    TempWorkDir dir;
    FakeServer server;
    std::unique_ptr<Telso> telso;
    std::unique_ptr<aNode> source;
    std::unique_ptr<aMFC> mfc;

    explicit Rig(double sourceCf = 0, double minFlowA = 0, double minFlowB = 0,
                 const QString &channel = QStringLiteral("ch1"))
    {
        dir.write(QStringLiteral("Kestrune.key"), "key\n");
        telso = std::make_unique<Telso>(QString(), QString(), QStringLiteral("Kestrune"), QStringLiteral("Kestrune"));
        mfc = std::make_unique<aMFC>(QStringLiteral("3"), 0, QStringLiteral("N2"), 1.0, QStringLiteral("MFC1"),
                                     QStringLiteral("Dev1"), channel, 100, 50, 20, 20, minFlowA, minFlowB, telso.get());
        mfc->busNames << QStringLiteral("Line1");
        if (sourceCf != 0) {
            source = std::make_unique<aNode>(QStringLiteral("1"), 1, aNode::PlainNode, QStringLiteral("N2"), sourceCf,
                                             QStringLiteral("N2"), QString(), QString(), 10, 10, 10, 10, telso.get());
            mfc->addChild(source.get());
            source->addParent(mfc.get());
        }
    }

    bool login()
    {
        if (!loginTelso(*telso, server))
            return false;
        // The MFC asks for its values right after the login.
        if (!server.waitForLines(4))
            return false;
        server.clearLines();
        return true;
    }

    QLineEdit *field(const char *name) const { return mfc->findChild<QLineEdit *>(QLatin1String(name)); }
    QString text(const char *name) const { return field(name)->text(); }

    // What the MFC said apart from its flow check, which runs with every
    // measured value.
    QStringList withoutFlowEvents() const
    {
        QStringList out;
        for (const QString &line : server.lines())
            if (!line.startsWith(QLatin1String("Kestrune.3>System _Ev_Flow")))
                out << line;
        return out;
    }
    QStringList flowEvents() const
    {
        QStringList out;
        for (const QString &line : server.lines())
            if (line.startsWith(QLatin1String("Kestrune.3>System _Ev_Flow")))
                out << line.mid(QStringLiteral("Kestrune.3>System _Ev").size());
        return out;
    }
};

class TestMfc : public QObject
{
    Q_OBJECT

private slots:
    void newPanel();
    void synchronisesAfterLogin_data();
    void synchronisesAfterLogin();
    void setPointExample();
    void setPoint_data();
    void setPoint();
    void purgeField_data();
    void purgeField();
    void measuredValue_data();
    void measuredValue();
    void setValueReport();
    void otherSendersIgnored();
    void flowCheck_data();
    void flowCheck();
    void newReportHoldsCheckAgain();
    void childChangeResendsSetPoint();
    void infoBox();
    void minFlowRequestUnanswered();
    void deviceSender_data();
    void deviceSender();
};

void TestMfc::newPanel()
{
    Rig rig;
    QCOMPARE(rig.mfc->findChild<QLabel *>(QStringLiteral("DispName"))->text(), QStringLiteral("MFC1"));
    QCOMPARE(rig.mfc->findChild<QLabel *>(QStringLiteral("OCStat"))->text(), QStringLiteral("Closing"));
    QCOMPARE(rig.text("Floating"), QString());
    QCOMPARE(rig.text("NowSetPoint"), QString());
    QCOMPARE(rig.text("NewSetPoint"), QString());
    QCOMPARE(rig.text("Purge"), QStringLiteral("1"));
    QVERIFY(rig.field("Floating")->isReadOnly());
    QVERIFY(!rig.field("NewSetPoint")->isReadOnly());
    QCOMPARE(rig.mfc->size(), QSize(164, 153));
    QCOMPARE(rig.mfc->infoFrame()->objectName(), QStringLiteral("InfoFrame"));
    QCOMPARE(rig.mfc->nodeKind, int(aNode::MFC));
    QCOMPARE(rig.mfc->typeName(), QStringLiteral("MFC"));
    QCOMPARE(rig.mfc->statusText(), QStringLiteral("M[MFC1,0,0]"));
    QVERIFY(!rig.mfc->isOn());
}

void TestMfc::synchronisesAfterLogin_data()
{
    QTest::addColumn<QString>("channel");
    QTest::addColumn<QStringList>("lines");

    QTest::newRow("channel") << "ch1"
                             << QStringList{"Kestrune.3>System flgon Dev1", "Kestrune.3>System flgon Dev1.ch1",
                                            "Kestrune.3>Dev1.ch1 GetValue", "Kestrune.3>Dev1.ch1 GetSettingValue"};
    QTest::newRow("no channel") << ""
                                << QStringList{"Kestrune.3>System flgon Dev1", "Kestrune.3>System flgon Dev1",
                                               "Kestrune.3>Dev1 GetValue", "Kestrune.3>Dev1 GetSettingValue"};
}

void TestMfc::synchronisesAfterLogin()
{
    QFETCH(QString, channel);
    QFETCH(QStringList, lines);

    Rig rig(0, 0, 0, channel);
    QVERIFY(rig.server.lines().isEmpty());
    QVERIFY(loginTelso(*rig.telso, rig.server));
    QVERIFY(rig.server.waitForLines(4));
    QCOMPARE(rig.server.lines(), lines);
}

void TestMfc::setPointExample()
{
    Rig rig(1.42);
    QVERIFY(rig.login());
    QTest::keyClicks(rig.field("NewSetPoint"), QStringLiteral("142"));
    QTest::mouseClick(rig.mfc->findChild<QPushButton *>(QStringLiteral("UpdateSetPoint")), Qt::LeftButton);
    QVERIFY(rig.server.waitForLines(3));
    QCOMPARE(rig.server.lines(), (QStringList{"Kestrune.Line1>System _EvNewStat MFC Set Point 142",
                                              "Kestrune.3>Dev1.ch1 SetRunMode 1", "Kestrune.3>Dev1.ch1 SetValue 100"}));
    QCOMPARE(rig.mfc->settingSV, 100.0);
}

void TestMfc::setPoint_data()
{
    QTest::addColumn<double>("sourceCf");
    QTest::addColumn<double>("minFlowA");
    QTest::addColumn<double>("minFlowB");
    QTest::addColumn<double>("purge");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("announced");
    QTest::addColumn<QString>("runMode");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("fieldAfter");
    QTest::addColumn<double>("returned");

    // A source with cf 2 halves display values on the way to the device, so
    // the device values 2, 2.5, 4, 5 and 7 come from typing twice as much.
    QTest::newRow("min flow: 2 becomes 0") << 2.0 << 100.0 << 0.05 << 1.0 << "4"
                                           << "4"
                                           << "2"
                                           << "0"
                                           << "  0.0" << 0.0;
    QTest::newRow("min flow: 2.5 becomes 5") << 2.0 << 100.0 << 0.05 << 1.0 << "5"
                                             << "5"
                                             << "1"
                                             << "5"
                                             << " 10.0" << 10.0;
    QTest::newRow("min flow: 4 becomes 5") << 2.0 << 100.0 << 0.05 << 1.0 << "8"
                                           << "8"
                                           << "1"
                                           << "5"
                                           << " 10.0" << 10.0;
    QTest::newRow("min flow: 5 stays") << 2.0 << 100.0 << 0.05 << 1.0 << "10"
                                       << "10"
                                       << "1"
                                       << "5"
                                       << "10" << 10.0;
    QTest::newRow("min flow: 7 stays") << 2.0 << 100.0 << 0.05 << 1.0 << "14"
                                       << "14"
                                       << "1"
                                       << "7"
                                       << "14" << 14.0;
    QTest::newRow("first factor 0: no rule") << 0.0 << 0.0 << 0.05 << 1.0 << "2"
                                             << "2"
                                             << "1"
                                             << "2"
                                             << "2" << 2.0;
    QTest::newRow("second factor 0: no rule") << 0.0 << 100.0 << 0.0 << 1.0 << "2"
                                              << "2"
                                              << "1"
                                              << "2"
                                              << "2" << 2.0;
    QTest::newRow("10.4 rounds down") << 0.0 << 0.0 << 0.0 << 1.0 << "10.4"
                                      << "10"
                                      << "1"
                                      << "10"
                                      << "10.4" << 10.4;
    QTest::newRow("10.5 rounds up") << 0.0 << 0.0 << 0.0 << 1.0 << "10.5"
                                    << "11"
                                    << "1"
                                    << "11"
                                    << "10.5" << 10.5;
    QTest::newRow("-0.7 gives 0") << 0.0 << 0.0 << 0.0 << 1.0 << "-0.7"
                                  << "0"
                                  << "2"
                                  << "0"
                                  << "-0.7" << -0.7;
    QTest::newRow("not a number gives 0") << 0.0 << 0.0 << 0.0 << 1.0 << "abc"
                                          << "0"
                                          << "2"
                                          << "0"
                                          << "abc" << 0.0;
    QTest::newRow("purge 0 closes") << 0.0 << 0.0 << 0.0 << 0.0 << "50"
                                    << "50"
                                    << "2"
                                    << "0"
                                    << "50" << 50.0;
    QTest::newRow("purge 2 doubles") << 0.0 << 0.0 << 0.0 << 2.0 << "50"
                                     << "50"
                                     << "1"
                                     << "100"
                                     << "50" << 50.0;
    QTest::newRow("purge 2.5 counts as 3") << 0.0 << 0.0 << 0.0 << 2.5 << "10"
                                           << "10"
                                           << "1"
                                           << "30"
                                           << "10" << 10.0;
    QTest::newRow("infinite counts as 0") << 0.0 << 0.0 << 0.0 << 1.0 << "inf"
                                          << "0"
                                          << "2"
                                          << "0"
                                          << "inf" << 0.0;
    QTest::newRow("overflowing text counts as 0") << 0.0 << 0.0 << 0.0 << 1.0 << "1e400"
                                                  << "0"
                                                  << "2"
                                                  << "0"
                                                  << "1e400" << 0.0;
    QTest::newRow("huge set point clamped") << 0.0 << 0.0 << 0.0 << 1.0 << "1e300"
                                            << "2147483647"
                                            << "1"
                                            << "2147483647"
                                            << "1e300" << 1e300;
    QTest::newRow("huge set point and purge") << 0.0 << 0.0 << 0.0 << 1e300 << "1e300"
                                              << "2147483647"
                                              << "1"
                                              << "4611686014132420600"
                                              << "1e300" << 1e300;
    QTest::newRow("infinite purge counts as 0") << 0.0 << 0.0 << 0.0 << qInf() << "10"
                                                << "10"
                                                << "2"
                                                << "0"
                                                << "10" << 10.0;
}

void TestMfc::setPoint()
{
    QFETCH(double, sourceCf);
    QFETCH(double, minFlowA);
    QFETCH(double, minFlowB);
    QFETCH(double, purge);
    QFETCH(QString, typed);
    QFETCH(QString, announced);
    QFETCH(QString, runMode);
    QFETCH(QString, value);
    QFETCH(QString, fieldAfter);
    QFETCH(double, returned);

    Rig rig(sourceCf, minFlowA, minFlowB);
    QVERIFY(rig.login());
    rig.mfc->setPurge(purge);
    QCOMPARE(rig.mfc->setSetPointText(typed), returned);
    QCOMPARE(rig.text("NewSetPoint"), fieldAfter);
    QVERIFY(rig.server.waitForLines(3));
    QCOMPARE(rig.server.lines(),
             (QStringList{"Kestrune.Line1>System _EvNewStat MFC Set Point " + announced,
                          "Kestrune.3>Dev1.ch1 SetRunMode " + runMode, "Kestrune.3>Dev1.ch1 SetValue " + value}));
}

void TestMfc::purgeField_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<double>("purge");

    QTest::newRow("2.50") << "2.50"
                          << "2.5" << 2.5;
    QTest::newRow("abc") << "abc"
                         << "0" << 0.0;
    QTest::newRow("inf") << "inf"
                         << "0" << 0.0;
    QTest::newRow("1e300") << "1e300"
                           << "1e+300" << 1e300;
}

void TestMfc::purgeField()
{
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    QFETCH(double, purge);

    Rig rig;
    QLineEdit *field = rig.field("Purge");
    field->clear();
    QTest::keyClicks(field, typed);
    QTest::keyClick(field, Qt::Key_Return);
    QCOMPARE(field->text(), shown);
    QCOMPARE(rig.mfc->purge, purge);
    // The device hears of it only with the next set point.
    QVERIFY(rig.server.lines().isEmpty());
}

void TestMfc::measuredValue_data()
{
    QTest::addColumn<double>("sourceCf");
    QTest::addColumn<QString>("reported");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("announced");

    QTest::newRow("9.5 needs two blanks") << 0.0 << "9.5"
                                          << "  9.5"
                                          << "9.5";
    QTest::newRow("100 at cf 1.42") << 1.42 << "100"
                                    << "142.0"
                                    << "142";
    QTest::newRow("not a number") << 0.0 << "abc"
                                  << "  0.0"
                                  << "0";
    QTest::newRow("infinite") << 1.42 << "inf"
                              << "  0.0"
                              << "0";
}

void TestMfc::measuredValue()
{
    QFETCH(double, sourceCf);
    QFETCH(QString, reported);
    QFETCH(QString, shown);
    QFETCH(QString, announced);

    Rig rig(sourceCf);
    QVERIFY(rig.login());
    QSignalSpy values(rig.mfc.get(), &aMFC::newValue);
    rig.server.send("Dev1.ch1>Kestrune _ChangedValue " + reported);
    QTRY_COMPARE_WITH_TIMEOUT(rig.withoutFlowEvents(),
                              QStringList{"Kestrune.Line1>System _Ev_ChangedValue " + announced}, 10000);
    QCOMPARE(rig.text("Floating"), shown);
    QCOMPARE(values.count(), 1);
    QCOMPARE(rig.mfc->shownFlow(), shown.toDouble());

    // The reply to GetValue shows the value the same way but announces nothing.
    rig.server.clearLines();
    rig.server.send("Dev1.ch1>Kestrune.3 @GetValue 1");
    QTRY_COMPARE_WITH_TIMEOUT(values.count(), 2, 10000);
    QVERIFY(rig.withoutFlowEvents().isEmpty());
}

void TestMfc::setValueReport()
{
    Rig rig(1.42);
    QVERIFY(rig.login());
    QSignalSpy stats(rig.mfc.get(), &aNode::newStat);
    QSignalSpy values(rig.mfc.get(), &aMFC::newValue);
    auto *box = rig.mfc->findChild<QLabel *>(QStringLiteral("OCStat"));

    rig.server.send(QStringLiteral("Dev1.ch1>Kestrune.3 @GetSettingValue 100"));
    QTRY_COMPARE_WITH_TIMEOUT(values.count(), 1, 10000);
    QCOMPARE(rig.text("NowSetPoint"), QStringLiteral("142.0"));
    QVERIFY(rig.mfc->isOn());
    QCOMPARE(stats.count(), 1);
    QCOMPARE(box->text(), QStringLiteral("Opening"));
    QCOMPARE(rig.mfc->statusText(), QStringLiteral("M[MFC1,100,0]"));

    // The same state again is no change.
    rig.server.send(QStringLiteral("Dev1.ch1>Kestrune _ChangedSettingValue 50"));
    QTRY_COMPARE_WITH_TIMEOUT(values.count(), 2, 10000);
    QCOMPARE(stats.count(), 1);

    rig.server.send(QStringLiteral("Dev1.ch1>Kestrune _ChangedSettingValue 0"));
    QTRY_COMPARE_WITH_TIMEOUT(values.count(), 3, 10000);
    QVERIFY(!rig.mfc->isOn());
    QCOMPARE(stats.count(), 2);
    QCOMPARE(box->text(), QStringLiteral("Closing"));
    QCOMPARE(rig.text("NowSetPoint"), QStringLiteral("  0.0"));
    // Reports change nothing on the device side.
    QVERIFY(rig.server.lines().isEmpty());
}

void TestMfc::otherSendersIgnored()
{
    Rig rig;
    QVERIFY(rig.login());
    QSignalSpy values(rig.mfc.get(), &aMFC::newValue);
    rig.server.send(QStringLiteral("Dev2.ch1>Kestrune _ChangedValue 50"));
    rig.server.send(QStringLiteral("Dev1>Kestrune _ChangedValue 51"));
    rig.server.send(QStringLiteral("dev1.ch1>Kestrune _ChangedSettingValue 52"));
    rig.server.send(QStringLiteral("Dev1.ch2>Kestrune.3 @GetValue 53"));
    rig.server.send(QStringLiteral("Dev1.ch1.x>Kestrune.3 @GetSettingValue 54"));
    rig.server.send(QStringLiteral("Dev1.ch1>Kestrune _ChangedValue"));
    // Lines are handled in order: once this one shows, the others are done.
    rig.server.send(QStringLiteral("Dev1.ch1>Kestrune _ChangedValue 7"));
    QTRY_COMPARE_WITH_TIMEOUT(rig.withoutFlowEvents(), QStringList{"Kestrune.Line1>System _Ev_ChangedValue 7"}, 10000);
    QCOMPARE(values.count(), 1);
    QCOMPARE(rig.text("NowSetPoint"), QString());
    QCOMPARE(rig.mfc->mfcSV, 0.0);
}

void TestMfc::flowCheck_data()
{
    QTest::addColumn<QString>("setValue");
    QTest::addColumn<QStringList>("flows");
    QTest::addColumn<QStringList>("events");

    QTest::newRow("on, within 10 %") << "100" << QStringList{"95", "109.9"} << QStringList{};
    QTest::newRow("on, 10 % off") << "100" << QStringList{"90"} << QStringList{"_FlowIsAbnormal 100 90"};
    QTest::newRow("one event per change") << "100" << QStringList{"80", "70", "100", "101"}
                                          << QStringList{"_FlowIsAbnormal 100 80", "_FlowIsNormal 100 100"};
    QTest::newRow("off, no flow") << "0" << QStringList{"0.9", "0"} << QStringList{};
    QTest::newRow("off, gas through a closed controller")
        << "0" << QStringList{"1", "5", "0.5"} << QStringList{"_FlowIsAbnormal 0 1", "_FlowIsNormal 0 0.5"};
    QTest::newRow("flows that are not finite count as 0")
        << "0" << QStringList{"inf", "nan", "1e400", "-inf"} << QStringList{};
    QTest::newRow("set value that is not finite counts as 0")
        << "inf" << QStringList{"5"} << QStringList{"_FlowIsAbnormal 0 5"};
    QTest::newRow("huge flow") << "100" << QStringList{"1e308"} << QStringList{"_FlowIsAbnormal 100 1e+308"};
    QTest::newRow("huge flow and set value")
        << "-1e308" << QStringList{"-1e308", "1e308"} << QStringList{"_FlowIsAbnormal -1e+308 1e+308"};
}

void TestMfc::flowCheck()
{
    QFETCH(QString, setValue);
    QFETCH(QStringList, flows);
    QFETCH(QStringList, events);

    Rig rig;
    rig.mfc->setCheckHoldInterval(1000);
    QVERIFY(rig.login());

    // The set value and the first flow arrive together, inside the hold.
    rig.server.sendRaw(QStringLiteral("Dev1.ch1>Kestrune _ChangedSettingValue %1\n"
                                      "Dev1.ch1>Kestrune _ChangedValue %2\n")
                           .arg(setValue, flows.first())
                           .toLatin1());
    QVERIFY(rig.server.waitForLines(1));
    QVERIFY(rig.flowEvents().isEmpty());
    QVERIFY(rig.mfc->checkHeld);
    QTRY_VERIFY_WITH_TIMEOUT(!rig.mfc->checkHeld, 10000);

    // Each measured value is echoed after its check, so the echo marks it done.
    for (qsizetype i = 1; i < flows.size(); ++i) {
        rig.server.send("Dev1.ch1>Kestrune _ChangedValue " + flows.at(i));
        QTRY_COMPARE_WITH_TIMEOUT(rig.withoutFlowEvents().size(), i + 1, 10000);
    }
    QCOMPARE(rig.flowEvents(), events);
    // Every event announces a number.
    for (const QString &line : rig.server.lines()) {
        bool ok = false;
        QVERIFY(std::isfinite(line.section(QLatin1Char(' '), -1).toDouble(&ok)));
        QVERIFY2(ok, qPrintable(line));
    }
}

void TestMfc::newReportHoldsCheckAgain()
{
    Rig rig;
    rig.mfc->setCheckHoldInterval(1000);
    QVERIFY(rig.login());
    rig.server.sendRaw("Dev1.ch1>Kestrune _ChangedSettingValue 100\nDev1.ch1>Kestrune _ChangedValue 50\n");
    QTRY_COMPARE_WITH_TIMEOUT(rig.flowEvents(), QStringList{"_FlowIsAbnormal 100 50"}, 10000);
    QVERIFY(!rig.mfc->flowNormal);

    // A new report takes the result back to normal without a word and holds
    // the check; the next abnormal result is announced again after the hold.
    rig.server.send(QStringLiteral("Dev1.ch1>Kestrune.3 @GetSettingValue 200"));
    QTRY_COMPARE_WITH_TIMEOUT(rig.mfc->mfcSV, 200.0, 10000);
    QVERIFY(rig.mfc->checkHeld);
    QVERIFY(rig.mfc->flowNormal);
    QCOMPARE(rig.flowEvents().size(), 1);
    QTRY_COMPARE_WITH_TIMEOUT(rig.flowEvents(), (QStringList{"_FlowIsAbnormal 100 50", "_FlowIsAbnormal 200 50"}),
                              10000);
}

void TestMfc::childChangeResendsSetPoint()
{
    Rig rig(2.0);
    QVERIFY(rig.login());
    // Nothing set yet: nothing to send again.
    emit rig.source->newStat();
    rig.mfc->setSetPointText(QStringLiteral("20"));
    QVERIFY(rig.server.waitForLines(3));
    QCOMPARE(rig.server.lines(), (QStringList{"Kestrune.Line1>System _EvNewStat MFC Set Point 20",
                                              "Kestrune.3>Dev1.ch1 SetRunMode 1", "Kestrune.3>Dev1.ch1 SetValue 10"}));
    rig.server.clearLines();

    // The gas now flowing in has another factor: the same display set point
    // means another device value.
    rig.source->cf = 4.0;
    emit rig.source->newStat();
    QVERIFY(rig.server.waitForLines(3));
    QCOMPARE(rig.server.lines(), (QStringList{"Kestrune.Line1>System _EvNewStat MFC Set Point 20",
                                              "Kestrune.3>Dev1.ch1 SetRunMode 1", "Kestrune.3>Dev1.ch1 SetValue 5"}));
}

void TestMfc::infoBox()
{
    Rig rig(2.0);
    QVERIFY(rig.login());
    rig.server.send(QStringLiteral("Dev1.ch1>Kestrune _ChangedValue 50"));
    QTRY_COMPARE_WITH_TIMEOUT(rig.mfc->mfcPV, 50.0, 10000);
    rig.mfc->setSetPointText(QStringLiteral("100"));

    QTest::mouseClick(rig.mfc->findChild<QPushButton *>(QStringLiteral("InfoB")), Qt::LeftButton);
    QMessageBox *box = nullptr;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *b = qobject_cast<QMessageBox *>(w); b && b->isVisible())
            box = b;
    QVERIFY(box);
    QVERIFY(!box->isModal());
    QCOMPARE(box->text(), QStringLiteral("Setting SV = 50, MFC_SV = 0, MFC_PV = 50\n"
                                         "MFC to Disp Factor = 2, Disp to MFC Factor = 0.5\n"
                                         "My Cf = 1, Cf of Gases = 2(N2)"));

    // Pressing again refreshes the open box.
    rig.source->stat = false;
    QTest::mouseClick(rig.mfc->findChild<QPushButton *>(QStringLiteral("InfoB")), Qt::LeftButton);
    QVERIFY(box->text().endsWith(QLatin1String("My Cf = 1, Cf of Gases =")));
}

void TestMfc::minFlowRequestUnanswered()
{
    Rig rig;
    QVERIFY(rig.login());
    rig.server.send(QStringLiteral("Client.p>Kestrune.Line1 GetMinFlow"));
    rig.server.send(QStringLiteral("Dev1.ch1>Kestrune _ChangedValue 1"));
    QTRY_COMPARE_WITH_TIMEOUT(rig.withoutFlowEvents(), QStringList{"Kestrune.Line1>System _Ev_ChangedValue 1"}, 10000);
}

void TestMfc::deviceSender_data()
{
    QTest::addColumn<QString>("hwNode");
    QTest::addColumn<QString>("channel");
    QTest::addColumn<QString>("sender");

    QTest::newRow("node and channel") << "Dev1" << "ch1" << "Dev1.ch1";
    QTest::newRow("node alone") << "Dev1" << "ch1" << "Dev1";
    QTest::newRow("other channel") << "Dev1" << "ch1" << "Dev1.ch2";
    QTest::newRow("longer node") << "Dev1" << "ch1" << "Dev11.ch1";
    QTest::newRow("channel cut") << "Dev1" << "ch1" << "Dev1.ch";
    QTest::newRow("no dot between") << "Dev1" << "ch1" << "Dev1xch1";
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
