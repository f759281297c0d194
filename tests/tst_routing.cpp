#include "bus/telso.h"
#include "mfc/amfc.h"
#include "support/fakeserver.h"
#include "support/refusalwatch.h"
#include "support/tempworkdir.h"
#include "valves/avalve.h"

#include <QLineEdit>
#include <QMessageBox>
#include <QtTest>

#include <memory>

// The line "Line1" of a small plant, every conversion factor 1:
//
//   J (Line1) ── M (MFC 7, Dev1.ch1, M1, minimum flow 5) ── V1 valve N2, x 10
//             │                                          └─ V2 valve Ar, x 20
//             ├─ M2 (MFC 8, Dev2) ── V3 valve N2
//             └─ S4 source "N2,Ar"
//   Mix (Mix) ── Sa N2, Sb N2, Sc Ar (plain sources)
//
// Valves switch channels ch1..ch3 of VDev. Children are added out of order on
// purpose: the tree keeps them by x.
struct Plant
{
    TempWorkDir dir;
    FakeServer server;
    std::unique_ptr<Telso> telso;
    std::vector<std::unique_ptr<aNode>> owned;
    aNode *J = nullptr;
    aMFC *M = nullptr;
    aMFC *M2 = nullptr;
    aValve *V1 = nullptr;
    aValve *V2 = nullptr;
    aValve *V3 = nullptr;
    aNode *S4 = nullptr;
    aNode *Mix = nullptr;

    Plant()
    {
        dir.write(QStringLiteral("Kestrune.key"), "key\n");
        telso = std::make_unique<Telso>(QString(), QString(), QStringLiteral("Kestrune"), QStringLiteral("Kestrune"));
        J = plain(QStringLiteral("1"), QString(), 0);
        J->busNames << QStringLiteral("Line1");
        M = keep(new aMFC(QStringLiteral("7"), 0, QString(), 1.0, QStringLiteral("MFC1"), QStringLiteral("Dev1"),
                          QStringLiteral("ch1"), 10, 0, 10, 10, 100, 0.05, telso.get()));
        M->busNames << QStringLiteral("M1");
        M2 = keep(new aMFC(QStringLiteral("8"), 1, QString(), 1.0, QStringLiteral("MFC2"), QStringLiteral("Dev2"),
                           QString(), 30, 0, 10, 10, 0, 0, telso.get()));
        V1 = valve(QStringLiteral("1"), QStringLiteral("N2"), QStringLiteral("ch1"), 10);
        V2 = valve(QStringLiteral("2"), QStringLiteral("Ar"), QStringLiteral("ch2"), 20);
        V3 = valve(QStringLiteral("3"), QStringLiteral("N2"), QStringLiteral("ch3"), 30);
        S4 = plain(QStringLiteral("4"), QStringLiteral("N2,Ar"), 40);
        link(J, S4);
        link(J, M2);
        link(J, M);
        link(M, V2);
        link(M, V1);
        link(M2, V3);

        Mix = plain(QStringLiteral("9"), QString(), 0);
        Mix->busNames << QStringLiteral("Mix");
        link(Mix, plain(QStringLiteral("10"), QStringLiteral("N2"), 1));
        link(Mix, plain(QStringLiteral("11"), QStringLiteral("Ar"), 3));
        link(Mix, plain(QStringLiteral("12"), QStringLiteral("N2"), 2));
    }

    template <class T> T *keep(T *node)
    {
        owned.emplace_back(node);
        return node;
    }
    aNode *plain(const QString &name, const QString &gas, int x)
    {
        return keep(
            new aNode(name, 0, aNode::PlainNode, gas, 1.0, gas, QString(), QString(), x, 0, 10, 10, telso.get()));
    }
    aValve *valve(const QString &name, const QString &gas, const QString &channel, int x)
    {
        return keep(new aValve(name, 0, gas, 1.0, QStringLiteral("Line"), QStringLiteral("VDev"), channel, x, 50, 10,
                               10, telso.get(), QString()));
    }
    static void link(aNode *parent, aNode *child)
    {
        parent->addChild(child);
        child->addParent(parent);
    }

    bool login()
    {
        if (!loginTelso(*telso, server))
            return false;
        return !exchange(QString()).contains(QStringLiteral("timeout"));
    }

    // Sends line (if any) and returns every line the client wrote in answer.
    // A request to Mix follows it; the client handles lines in order, so its
    // answer marks the end of everything the first line caused.
    QStringList exchange(const QString &line)
    {
        server.clearLines();
        if (!line.isEmpty())
            server.send(line);
        server.send(QStringLiteral("Client.sync>Kestrune.Mix GetGas"));
        const QString mark = QStringLiteral("Kestrune.Mix>Client.sync @GetGas 2 N2 1 Ar");
        if (!QTest::qWaitFor([&] { return server.lines().contains(mark); }, 10000))
            return {QStringLiteral("timeout")};
        QStringList out = server.lines();
        out.removeAll(mark);
        return out;
    }

    static QStringList commandsOnly(const QStringList &lines)
    {
        QStringList out;
        for (const QString &line : lines)
            if (!line.contains(QLatin1String(">System _Ev")))
                out << line;
        return out;
    }

    QStringList openValves() const
    {
        QStringList out;
        for (const aValve *v : {V1, V2, V3})
            if (v->isOn())
                out << v->nodeName;
        return out;
    }
    void open(const QStringList &names)
    {
        for (aValve *v : {V1, V2, V3})
            if (names.contains(v->nodeName))
                v->vOpen(true);
    }
};

class TestRouting : public QObject
{
    Q_OBJECT

private slots:
    void setNewGas_data();
    void setNewGas();
    void closedRouteValveRefusing();
    void mixture_data();
    void mixture();
    void setPurge_data();
    void setPurge();
    void requestsForOthersIgnored();
};

void TestRouting::setNewGas_data()
{
    QTest::addColumn<QString>("request");
    QTest::addColumn<QStringList>("openBefore");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QStringList>("openAfter");

    const QString mfcRun = QStringLiteral("Kestrune.7>Dev1.ch1 SetRunMode %1");
    const QString mfcValue = QStringLiteral("Kestrune.7>Dev1.ch1 SetValue %1");
    const QString on1 = QStringLiteral("Kestrune.1>VDev ChOn ch1");

    // The MFC sets its value, then the valve under it opens, and the MFC sends
    // its value again for the gas now flowing in.
    QTest::newRow("first N2 source, raised to the minimum, reply as asked")
        << "Client.p>Kestrune.Line1 SetNewGas N2 3" << QStringList{}
        << QStringList{mfcRun.arg(1), mfcValue.arg(5), on1,
                       mfcRun.arg(1), mfcValue.arg(5), "Kestrune.Line1>Client.p Ok: 3"}
        << QStringList{"1"};
    QTest::newRow("cut to 0 by the minimum: the reply says 0")
        << "Client.p>Kestrune.Line1 SetNewGas N2 2" << QStringList{}
        << QStringList{mfcRun.arg(2), mfcValue.arg(0), on1, "Kestrune.Line1>Client.p Ok: 0"} << QStringList{"1"};
    QTest::newRow("flow text repeated as received")
        << "Client.p>Kestrune.Line1 SetGas N2 010.0" << QStringList{}
        << QStringList{mfcRun.arg(1), mfcValue.arg(10), on1,
                       mfcRun.arg(1), mfcValue.arg(10), "Kestrune.Line1>Client.p Ok: 010.0"}
        << QStringList{"1"};
    QTest::newRow("zero closes the route only")
        << "Client.p>Kestrune.Line1 SetNewGas N2 0" << QStringList{"1", "2", "3"}
        << QStringList{mfcRun.arg(2), mfcValue.arg(0), "Kestrune.1>VDev ChOff ch1", "Kestrune.Line1>Client.p Ok: 0"}
        << QStringList{"2", "3"};
    QTest::newRow("Ar through the same MFC")
        << "Client.p>Kestrune.Line1 SetNewGas Ar 20 extra" << QStringList{"3"}
        << QStringList{mfcRun.arg(1), mfcValue.arg(20), "Kestrune.2>VDev ChOn ch2",
                       mfcRun.arg(1), mfcValue.arg(20), "Kestrune.Line1>Client.p Ok: 20"}
        << QStringList{"2", "3"};
    QTest::newRow("mixed source found by its whole text")
        << "Client.p>Kestrune.Line1 SetGas N2,Ar 5" << QStringList{} << QStringList{"Kestrune.Line1>Client.p Ok: 5"}
        << QStringList{};
    QTest::newRow("mixed source in another order")
        << "Client.p>Kestrune.Line1 SetGas Ar,N2 5" << QStringList{}
        << QStringList{"Kestrune.Line1>Client.p Er:this channel cannot flow the gas [Ar,N2]"} << QStringList{};
    QTest::newRow("no source of the gas")
        << "Client.p>Kestrune.Mix SetNewGas He 5" << QStringList{}
        << QStringList{"Kestrune.Mix>Client.p Er:this channel cannot flow the gas [He]"} << QStringList{};
    QTest::newRow("flow missing") << "Client.p>Kestrune.Line1 SetNewGas N2" << QStringList{"1"}
                                  << QStringList{"Kestrune.Line1>Client.p Er:Less parameters"} << QStringList{"1"};
    QTest::newRow("flow not finite: closes, reply as asked")
        << "Client.p>Kestrune.Line1 SetNewGas N2 inf" << QStringList{"1"}
        << QStringList{mfcRun.arg(2), mfcValue.arg(0), "Kestrune.1>VDev ChOff ch1", "Kestrune.Line1>Client.p Ok: inf"}
        << QStringList{};
    QTest::newRow("huge flow")
        << "Client.p>Kestrune.Line1 SetNewGas N2 1e300" << QStringList{}
        << QStringList{mfcRun.arg(1), mfcValue.arg(2147483647), on1,
                       mfcRun.arg(1), mfcValue.arg(2147483647), "Kestrune.Line1>Client.p Ok: 1e300"}
        << QStringList{"1"};
}

void TestRouting::setNewGas()
{
    QFETCH(QString, request);
    QFETCH(QStringList, openBefore);
    QFETCH(QStringList, lines);
    QFETCH(QStringList, openAfter);

    Plant plant;
    QVERIFY(plant.login());
    plant.open(openBefore);
    QCOMPARE(plant.openValves(), openBefore);
    plant.exchange(QString());

    QCOMPARE(Plant::commandsOnly(plant.exchange(request)), lines);
    QCOMPARE(plant.openValves(), openAfter);
}

void TestRouting::closedRouteValveRefusing()
{
    Plant plant;
    QVERIFY(plant.login());
    // V1 may open only while nothing flows through the mixed source, which
    // is always on.
    CondTerm term;
    term.node = plant.S4;
    term.flowing = false;
    plant.V1->condToOpen.append(Condition{&term});
    RefusalWatch refusals;

    const QStringList lines =
        Plant::commandsOnly(plant.exchange(QStringLiteral("Client.p>Kestrune.Line1 SetNewGas N2 10")));
    QCOMPARE(lines, (QStringList{"Kestrune.7>Dev1.ch1 SetRunMode 1", "Kestrune.7>Dev1.ch1 SetValue 10",
                                 "Kestrune.Line1>Client.p Ok: 10"}));
    QCOMPARE(refusals.boxes.size(), 1);
    QCOMPARE(refusals.boxes.at(0).parent, plant.V1);
    QVERIFY(!plant.V1->isOn());
}

void TestRouting::mixture_data()
{
    QTest::addColumn<QStringList>("open");
    QTest::addColumn<QString>("request");
    QTest::addColumn<QString>("reply");

    QTest::newRow("MFC over open N2 and Ar") << QStringList{"1", "2"} << "Client.p>Kestrune.M1 GetNowGas"
                                             << "Kestrune.M1>Client.p @GetNowGas 25 N2 25 Ar";
    QTest::newRow("Ar closed") << QStringList{"1"} << "Client.p>Kestrune.M1 GetNowGas"
                               << "Kestrune.M1>Client.p @GetNowGas 50 N2";
    QTest::newRow("both closed") << QStringList{} << "Client.p>Kestrune.M1 GetGas"
                                 << "Kestrune.M1>Client.p @GetGas None";
    QTest::newRow("junction without MFC") << QStringList{} << "Client.p>Kestrune.Mix GetNowGas"
                                          << "Kestrune.Mix>Client.p @GetNowGas 2 N2 1 Ar";
    // M gives 25 N2 25 Ar; M2 measures nothing; the mixed source adds 1 of each.
    QTest::newRow("whole line") << QStringList{"1", "2", "3"} << "Client.p>Kestrune.Line1 GetGas"
                                << "Kestrune.Line1>Client.p @GetGas 26 N2 26 Ar";
    QTest::newRow("whole line, MFC closed off") << QStringList{} << "Client.p>Kestrune.Line1 GetNowGas"
                                                << "Kestrune.Line1>Client.p @GetNowGas 1 N2 1 Ar";
}

void TestRouting::mixture()
{
    QFETCH(QStringList, open);
    QFETCH(QString, request);
    QFETCH(QString, reply);

    Plant plant;
    QVERIFY(plant.login());
    plant.open(open);
    plant.server.send(QStringLiteral("Dev1.ch1>Kestrune _ChangedValue 50"));
    plant.exchange(QString());
    QCOMPARE(plant.M->shownFlow(), 50.0);

    QCOMPARE(plant.exchange(request), QStringList{reply});
}

void TestRouting::setPurge_data()
{
    QTest::addColumn<QString>("request");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("shown");

    const QString event = QStringLiteral("Kestrune.M1>System _EvNewStat MFC Set Point 10");
    QTest::newRow("2 doubles every MFC below, in tree order") << "Client.p>Kestrune.Line1 SetPurge 2"
                                                              << QStringList{event,
                                                                             "Kestrune.7>Dev1.ch1 SetRunMode 1",
                                                                             "Kestrune.7>Dev1.ch1 SetValue 20",
                                                                             "Kestrune.8>Dev2 SetRunMode 1",
                                                                             "Kestrune.8>Dev2 SetValue 40",
                                                                             "Kestrune.Line1>Client.p Ok:"}
                                                              << "2";
    QTest::newRow("not a number stops the MFCs") << "Client.p>Kestrune.Line1 SetPurge abc"
                                                 << QStringList{event,
                                                                "Kestrune.7>Dev1.ch1 SetRunMode 2",
                                                                "Kestrune.7>Dev1.ch1 SetValue 0",
                                                                "Kestrune.8>Dev2 SetRunMode 2",
                                                                "Kestrune.8>Dev2 SetValue 0",
                                                                "Kestrune.Line1>Client.p Ok:"}
                                                 << "0";
    QTest::newRow("huge magnification clamped") << "Client.p>Kestrune.Line1 SetPurge 1e300"
                                                << QStringList{event,
                                                               "Kestrune.7>Dev1.ch1 SetRunMode 1",
                                                               "Kestrune.7>Dev1.ch1 SetValue 21474836470",
                                                               "Kestrune.8>Dev2 SetRunMode 1",
                                                               "Kestrune.8>Dev2 SetValue 42949672940",
                                                               "Kestrune.Line1>Client.p Ok:"}
                                                << "1e+300";
    QTest::newRow("only the subtree") << "Client.p>Kestrune.M1 SetPurge 3"
                                      << QStringList{event, "Kestrune.7>Dev1.ch1 SetRunMode 1",
                                                     "Kestrune.7>Dev1.ch1 SetValue 30", "Kestrune.M1>Client.p Ok:"}
                                      << "3";
    QTest::newRow("junction without MFCs")
        << "Client.p>Kestrune.Mix SetPurge 2" << QStringList{"Kestrune.Mix>Client.p Ok:"} << "1";
    QTest::newRow("missing magnification")
        << "Client.p>Kestrune.Line1 SetPurge" << QStringList{"Kestrune.Line1>Client.p Er:Less parameters"} << "1";
}

void TestRouting::setPurge()
{
    QFETCH(QString, request);
    QFETCH(QStringList, lines);
    QFETCH(QString, shown);

    Plant plant;
    QVERIFY(plant.login());
    plant.M->setSetPointText(QStringLiteral("10"));
    plant.M2->setSetPointText(QStringLiteral("20"));
    plant.exchange(QString());

    QCOMPARE(plant.exchange(request), lines);
    QCOMPARE(plant.M->findChild<QLineEdit *>(QStringLiteral("Purge"))->text(), shown);
}

void TestRouting::requestsForOthersIgnored()
{
    Plant plant;
    QVERIFY(plant.login());
    for (const QString &line :
         {QStringLiteral("Client.p>Kestrune.Nobody SetNewGas N2 5"), QStringLiteral("Client.p>Kestrune SetNewGas N2 5"),
          QStringLiteral("Client.p>Kestrune.line1 GetNowGas"), QStringLiteral("Client.p>Kestrune.Line1.x SetPurge 2")})
        QCOMPARE(plant.exchange(line), QStringList{});
    QCOMPARE(plant.openValves(), QStringList{});
}

QTEST_MAIN(TestRouting)
#include "tst_routing.moc"
