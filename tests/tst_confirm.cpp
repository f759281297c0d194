// Every command to a valve or an MFC is confirmed by its device, or the node is marked.
#include "mfc/amfc.h"
#include "support/messagecapture.h"
#include "support/nodebus.h"
#include "valves/avalve.h"

#include <QtTest>

namespace {

// How one kind of node is commanded and what its device may say back.
struct Device
{
    std::function<aNode *(Telso *)> make;
    std::function<void(aNode *)> command;
    QStringList syncAnswers;
    QString readBack, agreeEvent, otherEvent, agreeReply, otherReply;
    QString shownCommanded, shownOther, shownUnconfirmed; // statusText afterwards
};

Device device(const QString &kind)
{
    if (kind == QLatin1String("valve"))
        return {
            [](Telso *t) { return new aValve("V3", 0, "N2", 1, "Line1", "Dev1", "ch3", 10, 20, 30, 40, t, QString()); },
            [](aNode *n) { static_cast<aValve *>(n)->vOpen(); },
            {"Dev1>Kestrune.V3 @IsOn ch3 0"},
            "Kestrune.V3>Dev1 IsOn ch3",
            "Dev1>Kestrune _ChangedIsOn ch3 1",
            "Dev1>Kestrune _ChangedIsOn ch3 0",
            "Dev1>Kestrune.V3 @IsOn ch3 1",
            "Dev1>Kestrune.V3 @IsOn ch3 0",
            "V[N2 Line1,Open]",
            "V[N2 Line1,Close]",
            "V[N2 Line1,Open]"};
    return {[](Telso *t) { return new aMFC("3", 0, "N2", 1, "MFC1", "Dev1", "ch1", 0, 0, 1, 1, 0, 0, t); },
            [](aNode *n) { static_cast<aMFC *>(n)->setSetPointText("20"); },
            {"Dev1.ch1>Kestrune.3 @GetValue 0", "Dev1.ch1>Kestrune.3 @GetSettingValue 0"},
            "Kestrune.3>Dev1.ch1 GetSettingValue",
            "Dev1.ch1>Kestrune _ChangedSettingValue 20",
            "Dev1.ch1>Kestrune _ChangedSettingValue 5",
            "Dev1.ch1>Kestrune.3 @GetSettingValue 20",
            "Dev1.ch1>Kestrune.3 @GetSettingValue 5",
            "M[MFC1,20,0]",
            "M[MFC1,5,0]",
            "M[MFC1,0,0]"};
}

} // namespace

class TestConfirm : public QObject
{
    Q_OBJECT

private slots:
    void rules_data();
    void rules();
    void settings_data();
    void settings();
};

void TestConfirm::rules_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QStringList>("script");
    QTest::addColumn<int>("mark");
    QTest::addColumn<QString>("settled"); // confirmationSettled() values, "" for none
    QTest::addColumn<QString>("shown");   // commanded, other or unconfirmed
    QTest::addColumn<bool>("readBack");   // whether the read-back was asked (or tried)

    using L = QStringList;
    const auto rows = [](const char *tag, const L &script, int mark, const char *settled, const char *shown,
                         bool readBack) {
        for (const char *kind : {"valve", "mfc"})
            QTest::newRow(qPrintable(QStringLiteral("%1: %2").arg(kind, tag)))
                << kind << script << mark << settled << shown << readBack;
    };
    rows("confirmed by event", {"command", "agree event"}, DeviceWatch::NoMark, "true", "commanded", false);
    rows("confirmed by read-back", {"command", "read-back", "agree reply"}, DeviceWatch::NoMark, "true", "commanded",
         true);
    // An event may still be on its way from before the command.
    rows("earlier event, then read-back", {"command", "other event", "read-back", "agree reply"}, DeviceWatch::NoMark,
         "true", "commanded", true);
    rows("contradicted", {"command", "read-back", "other reply"}, DeviceWatch::Mismatch, "false", "other", true);
    rows("contradiction cleared by a report that agrees", {"command", "read-back", "other reply", "other event"},
         DeviceWatch::NoMark, "false", "other", true);
    rows("timed out", {"command", "read-back", "expire"}, DeviceWatch::NoAnswer, "false", "unconfirmed", true);
    rows("link lost before the answer", {"command", "drop"}, DeviceWatch::NoMark, "false", "unconfirmed", false);
    rows("silent at login, then heard", {"silent sync", "expire", "agree reply"}, DeviceWatch::NoMark, "", "commanded",
         false);
}

void TestConfirm::rules()
{
    QFETCH(QString, kind);
    QFETCH(QStringList, script);
    QFETCH(int, mark);
    QFETCH(QString, settled);
    QFETCH(QString, shown);
    QFETCH(bool, readBack);

    const Device d = device(kind);
    MessageCapture capture;
    NodeBus bus;
    std::unique_ptr<aNode> node(d.make(&bus.telso));
    node->setWatchTimes(1000, 0);
    QVERIFY(bus.login());
    if (script.first() != QLatin1String("silent sync"))
        bus.settle(d.syncAnswers);
    QSignalSpy settles(node.get(), &aNode::confirmationSettled);
    const auto asked = [&] {
        return bus.server.lines().contains(d.readBack) ||
               capture.contains("not logged in to the server, line dropped: " + d.readBack);
    };

    for (const QString &step : std::as_const(script)) {
        if (step == QLatin1String("command")) {
            d.command(node.get());
        } else if (step == QLatin1String("read-back")) {
            QTRY_VERIFY_WITH_TIMEOUT(asked(), 5000);
        } else if (step == QLatin1String("expire")) {
            QTRY_COMPARE_WITH_TIMEOUT(node->mark(), DeviceWatch::NoAnswer, 5000);
        } else if (step == QLatin1String("drop")) {
            bus.server.disconnectClient();
            QTRY_VERIFY_WITH_TIMEOUT(!bus.telso.isLoggedIn(), 5000);
        } else if (step != QLatin1String("silent sync")) {
            const QMap<QString, QString> lines{{"agree event", d.agreeEvent},
                                               {"other event", d.otherEvent},
                                               {"agree reply", d.agreeReply},
                                               {"other reply", d.otherReply}};
            bus.server.send(lines.value(step));
        }
    }
    const auto settledText = [&] {
        QStringList values;
        for (const QList<QVariant> &args : std::as_const(settles))
            values << (args.at(0).toBool() ? "true" : "false");
        return values.join(',');
    };
    QTRY_COMPARE_WITH_TIMEOUT(settledText(), settled, 5000);
    QTRY_COMPARE_WITH_TIMEOUT(int(node->mark()), mark, 5000);
    // Nothing comes late: no read-back nor a mark after a confirmation or a lost link.
    if (!readBack)
        QVERIFY(!QTest::qWaitFor([&] { return asked() || int(node->mark()) != mark; }, 1500));
    QCOMPARE(asked(), readBack);
    QCOMPARE(node->statusText(), shown == "commanded" ? d.shownCommanded
                                 : shown == "other"   ? d.shownOther
                                                      : d.shownUnconfirmed);
    QCOMPARE(node->markText().isEmpty(), mark == DeviceWatch::NoMark);
}

void TestConfirm::settings_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("confirm");
    QTest::addColumn<int>("poll");

    QTest::newRow("decimals") << "0.25" << 250 << 250;
    QTest::newRow("0: default confirmation, no poll") << "0" << 5000 << 0;
    QTest::newRow("not a number") << "x" << 5000 << 0;
    QTest::newRow("negative") << "-3" << 5000 << 0;
    QTest::newRow("poll floor") << "0.01" << 10 << 100;
    QTest::newRow("capped at a day") << "1e9" << 86400000 << 86400000;
}

void TestConfirm::settings()
{
    QFETCH(QString, text);
    QFETCH(int, confirm);
    QFETCH(int, poll);
    QCOMPARE(DeviceWatch::confirmMsecFor(text), confirm);
    QCOMPARE(DeviceWatch::pollMsecFor(text), poll);
}

QTEST_MAIN(TestConfirm)
#include "tst_confirm.moc"
