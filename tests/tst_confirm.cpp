// Every command to a valve or an MFC is confirmed by its device, or the node is marked.
#include "mfc/amfc.h"
#include "support/messagecapture.h"
#include "support/nodebus.h"
#include "valves/avalve.h"

#include <QtTest>

namespace {

// A kind of node: its device's event and reply (%1 the value: the commanded one or another), its read-back, the
// values, and its status text when it shows the commanded value, the other one, or no report since the command.
struct Kind
{
    QString event, reply, readBack, agree, other;
    QStringList shown;
    QString asked; // the question it is silent to at login
};

const Kind valveKind{"Dev1>Kestrune _ChangedIsOn ch3 %1",
                     "Dev1>Kestrune.V3 @IsOn ch3 %1",
                     "Kestrune.V3>Dev1 IsOn ch3",
                     "1",
                     "0",
                     {"V[N2 L1,Open]", "V[N2 L1,Close]", "V[N2 L1,Open]"},
                     "\"IsOn ch3\""};
const Kind mfcKind{"Dev1.ch1>Kestrune _ChangedSettingValue %1",
                   "Dev1.ch1>Kestrune.3 @GetSettingValue %1",
                   "Kestrune.3>Dev1.ch1 GetSettingValue",
                   "20",
                   "5",
                   {"M[M1,20,0]", "M[M1,5,0]", "M[M1,5,0]"},
                   "\"GetValue, GetSettingValue\""};

aNode *makeNode(bool valve, NodeBus &bus, const QString &device = "Dev1")
{
    if (valve)
        return new aValve("V3", 0, "N2", 1, "L1", device, "ch3", 0, 0, 1, 1, &bus.telso, "");
    return new aMFC("3", 0, "N2", 1, "M1", device, "ch1", 0, 0, 1, 1, 0, 0, &bus.telso);
}

} // namespace

class TestConfirm : public QObject
{
    Q_OBJECT

private slots:
    void rules_data();
    void rules();
    void polled_data();
    void polled();
};

void TestConfirm::rules_data()
{
    QTest::addColumn<bool>("valve");
    QTest::addColumn<QStringList>("script");
    QTest::addColumn<int>("mark");
    QTest::addColumn<QString>("settled"); // confirmationSettled() values
    QTest::addColumn<int>("shown");       // commanded, other or unconfirmed
    QTest::addColumn<bool>("readBack");   // whether the read-back was asked (or tried)

    enum { commanded, other, unconfirmed };
    const auto rows = [](const char *tag, const QStringList &script, int mark, const char *settled, int shown,
                         bool readBack) {
        for (const bool valve : {true, false})
            QTest::newRow(qPrintable(QStringLiteral("%1: %2").arg(valve ? "valve" : "mfc", tag)))
                << valve << script << mark << settled << shown << readBack;
    };
    rows("confirmed by event", {"command", "agree event"}, DeviceWatch::NoMark, "true", commanded, false);
    rows("confirmed by read-back", {"command", "read-back", "agree reply"}, DeviceWatch::NoMark, "true", commanded,
         true);
    // An event may still be on its way from before the command.
    rows("earlier event, then read-back", {"command", "other event", "read-back", "agree reply"}, DeviceWatch::NoMark,
         "true", commanded, true);
    rows("contradicted", {"command", "read-back", "other reply"}, DeviceWatch::Mismatch, "false", other, true);
    rows("contradiction cleared by a report that agrees", {"command", "read-back", "other reply", "other event"},
         DeviceWatch::NoMark, "false", other, true);
    rows("timed out", {"command", "read-back", "expire"}, DeviceWatch::NoAnswer, "false", unconfirmed, true);
    rows("link lost before the answer", {"command", "drop"}, DeviceWatch::NoMark, "false", unconfirmed, false);
    rows("silent at login, then heard", {"silent", "expire", "agree reply"}, DeviceWatch::NoMark, "", commanded, false);
}

void TestConfirm::rules()
{
    QFETCH(bool, valve);
    QFETCH(QStringList, script);
    QFETCH(int, mark);
    QFETCH(QString, settled);
    QFETCH(int, shown);
    QFETCH(bool, readBack);

    const Kind &k = valve ? valveKind : mfcKind;
    MessageCapture capture;
    NodeBus bus;
    std::unique_ptr<aNode> node(makeNode(valve, bus));
    node->setWatchTimes(400, 0);
    QVERIFY(bus.login());
    if (script.first() != "silent")
        bus.settle({k.reply.arg(k.other)});
    QSignalSpy settles(node.get(), &aNode::confirmationSettled);
    const auto asked = [&] {
        return bus.server.lines().contains(k.readBack) ||
               capture.contains("not logged in to the server, line dropped: " + k.readBack);
    };

    for (const QString &step : std::as_const(script)) {
        if (step == "command" && valve)
            static_cast<aValve *>(node.get())->vOpen();
        else if (step == "command")
            static_cast<aMFC *>(node.get())->setSetPointText("20");
        else if (step == "read-back")
            QTRY_VERIFY_WITH_TIMEOUT(asked(), 5000);
        else if (step == "expire" && script.first() == "silent")
            QTRY_VERIFY_WITH_TIMEOUT(node->markText().contains(k.asked), 5000);
        else if (step == "expire")
            QTRY_COMPARE_WITH_TIMEOUT(node->mark(), DeviceWatch::NoAnswer, 5000);
        else if (step == "drop")
            bus.server.disconnectClient();
        else if (step != "silent")
            bus.server.send(
                (step.endsWith("event") ? k.event : k.reply).arg(step.startsWith("agree") ? k.agree : k.other));
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
        QVERIFY(!QTest::qWaitFor([&] { return asked() || int(node->mark()) != mark; }, 600));
    QCOMPARE(asked(), readBack);
    QCOMPARE(node->statusText(), k.shown.at(shown));
    QCOMPARE(node->markText().isEmpty(), mark == DeviceWatch::NoMark);
}

void TestConfirm::polled_data()
{
    QTest::addColumn<bool>("valve");
    QTest::newRow("valve") << true;
    QTest::newRow("mfc") << false;
}

// A polled device is asked again and again, never while it owes an answer; silent, it is marked until it is heard
// from; without confirmation there is no polling either.
void TestConfirm::polled()
{
    QFETCH(bool, valve);
    const Kind &k = valve ? valveKind : mfcKind;
    NodeBus bus;
    std::unique_ptr<aNode> node(makeNode(valve, bus));
    node->setWatchTimes(300, 40);
    QVERIFY(bus.login());
    bus.server.send(k.reply.arg(k.agree)); // the synchronisation answered
    qsizetype askedWhenMarked = -1;
    connect(node.get(), &aNode::markChanged, this, [&] {
        if (node->mark() == DeviceWatch::NoAnswer)
            askedWhenMarked = bus.server.lines().count(k.readBack);
    });
    QTRY_VERIFY_WITH_TIMEOUT(askedWhenMarked >= 0, 5000);
    QCOMPARE(askedWhenMarked, 1);
    QVERIFY(node->markText().contains(k.asked));
    QTRY_VERIFY_WITH_TIMEOUT(bus.server.lines().count(k.readBack) > 1, 5000); // and asked again
    bus.server.send(valve ? k.reply.arg(k.agree) : "Dev1.ch1>Kestrune.3 @GetValue 7");
    QTRY_COMPARE_WITH_TIMEOUT(node->mark(), DeviceWatch::NoMark, 5000);
    const qsizetype asked = bus.server.lines().count(k.readBack); // the answer settled the question: polled on
    QTRY_VERIFY_WITH_TIMEOUT(bus.server.lines().count(k.readBack) > asked, 5000);
    node->setWatchTimes(0, 40);
    bus.settle();
    QVERIFY(!QTest::qWaitFor([&] { return !bus.server.lines().isEmpty(); }, 300));
    // Without a device there is nothing to ask or to mark.
    std::unique_ptr<aNode> loose(makeNode(valve, bus, QString()));
    loose->setWatchTimes(100, 40);
    if (valve)
        static_cast<aValve *>(loose.get())->vOpen();
    else
        static_cast<aMFC *>(loose.get())->setSetPointText("20");
    QVERIFY(!QTest::qWaitFor([&] { return loose->mark() != DeviceWatch::NoMark; }, 400));
}

QTEST_MAIN(TestConfirm)
#include "tst_confirm.moc"
