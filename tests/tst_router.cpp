#include "support/nodebus.h"
#include "valves/avalve.h"

#include <QtTest>

#include <map>
#include <memory>

// Who answers a request for a bus name, and who follows a device's report:
// valves N2 and Ar on channel ch1 of Dev, H2 on ch2, made in that order.
class TestRouter : public QObject
{
    Q_OBJECT

private slots:
    void order_data();
    void order();
};

void TestRouter::order_data()
{
    QTest::addColumn<QStringList>("before"); // "gas:name" given before the login
    QTest::addColumn<QStringList>("after");  // and after it
    QTest::addColumn<QString>("gone");       // a valve deleted before the line comes (~: as it is handled)
    QTest::addColumn<QString>("line");
    QTest::addColumn<QStringList>("answers");

    const QStringList both{"Kestrune.L>T @Stat V[N2 X,Close]", "Kestrune.L>T @Stat V[Ar X,Close]"};
    const QString stat = "T>Kestrune.L Stat";
    QTest::newRow("one name, given to the later valve first")
        << QStringList{"Ar:L", "N2:L"} << QStringList{} << QString() << stat << both;
    QTest::newRow("one name, given after the login")
        << QStringList{} << QStringList{"Ar:L", "N2:L"} << QString() << stat << both;
    QTest::newRow("a deleted valve answers nothing")
        << QStringList{"N2:L", "Ar:L"} << QStringList{} << "N2" << stat << QStringList{both.last()};
    const QStringList names{"N2:a", "Ar:b", "H2:c"};
    QTest::newRow("two valves on one channel")
        << names << QStringList{} << QString() << "Dev>Kestrune @IsOn ch1 1"
        << QStringList{"Kestrune.a>System _EvNewStat Valve 1", "Kestrune.b>System _EvNewStat Valve 1"};
    QTest::newRow("a valve deleted by the change of the one before it")
        << names << QStringList{} << "~Ar"
        << "Dev>Kestrune @IsOn ch1 1" << QStringList{"Kestrune.a>System _EvNewStat Valve 1"};
    QTest::newRow("the other channel") << names << QStringList{} << QString() << "Dev>Kestrune _ChangedIsOn ch2 1"
                                       << QStringList{"Kestrune.c>System _EvNewStat Valve 1"};
    QTest::newRow("another device") << names << QStringList{} << QString() << "Dev2>Kestrune @IsOn ch1 1"
                                    << QStringList{};
}

void TestRouter::order()
{
    QFETCH(QStringList, before);
    QFETCH(QStringList, after);
    QFETCH(QString, gone);
    QFETCH(QString, line);
    QFETCH(QStringList, answers);

    NodeBus bus;
    std::map<QString, std::unique_ptr<aValve>> valves;
    for (const auto &[gas, channel] : {std::pair{"N2", "ch1"}, {"Ar", "ch1"}, {"H2", "ch2"}})
        valves[gas] = std::make_unique<aValve>("1", 0, gas, 1.0, "X", "Dev", channel, 0, 0, 1, 1, &bus.telso, "");
    const auto name = [&](const QStringList &list) {
        for (const QString &item : list)
            valves.at(item.section(':', 0, 0))->addBusName(item.section(':', 1));
    };
    name(before);
    QVERIFY(bus.login());
    name(after);
    if (gone.startsWith('~')) // while the report is being handed out
        connect(valves.at("N2").get(), &aNode::newStat, this, [&] { valves.erase(gone.mid(1)); });
    else if (!gone.isEmpty())
        valves.erase(gone);
    QCOMPARE(bus.settle({line}), answers);
}

QTEST_MAIN(TestRouter)
#include "tst_router.moc"
