#include "mfc/amfc.h"
#include "bus/remoteaccess.h"
#include "support/nodebus.h"
#include "valves/avalve.h"

#include <QtTest>

// The line "Line1" of a small plant, every conversion factor 1:
//
//   J (Line1) ── M (MFC 7, Dev1.ch1, M1, minimum flow 5) ── V1 valve N2, x 10
//             │                                          └─ V2 valve Ar, x 20
//             ├─ M2 (MFC 8, Dev2) ── V3 valve N2
//             └─ a source "N2,Ar"
//   Mix ── plain sources N2 (x 1), Ar (x 3), N2 (x 2)
//
// Valves 1..3 switch channels ch1..ch3 of VDev. Children are linked out of order on purpose: the tree keeps them by x.
// Valves switched and set points sent show in the lines the program writes.
struct Plant
{
    Plant()
    {
        aNode *j = add(plain({}, 0), nullptr);
        add(plain("N2,Ar", 40), j);
        M2 = add(new aMFC("8", 1, {}, 1.0, "MFC2", "Dev2", {}, 30, 0, 1, 1, 0, 0, &bus.telso), j);
        M = add(new aMFC("7", 0, {}, 1.0, "MFC1", "Dev1", "ch1", 10, 0, 1, 1, 100, 0.05, &bus.telso), j);
        for (const auto &[name, gas, x] : {std::tuple{"2", "Ar", 20}, {"1", "N2", 10}, {"3", "N2", 30}})
            add(new aValve(name, 0, gas, 1.0, "Line", "VDev", QStringLiteral("ch") + name, x, 0, 1, 1, &bus.telso, {}),
                x == 30 ? M2 : M);
        aNode *mix = add(plain({}, 0), nullptr);
        for (const auto &[gas, x] : {std::pair{"N2", 1}, {"Ar", 3}, {"N2", 2}})
            add(plain(gas, x), mix);
        j->busNames << "Line1";
        M->busNames << "M1";
        mix->busNames << "Mix";
    }
    aNode *plain(const QString &gas, int x)
    {
        return new aNode("0", 0, aNode::PlainNode, gas, 1.0, gas, {}, {}, x, 0, 1, 1, &bus.telso);
    }
    template <class T> T *add(T *node, aNode *parent)
    {
        owned.emplace_back(node);
        if (parent)
            link(parent, node);
        return node;
    }

    NodeBus bus;
    std::vector<std::unique_ptr<aNode>> owned;
    aMFC *M = nullptr;
    aMFC *M2 = nullptr;
};

class TestRouting : public QObject
{
    Q_OBJECT

private slots:
    void requests_data();
    void requests();
    void access_data();
    void access();
};

void TestRouting::requests_data()
{
    QTest::addColumn<QStringList>("open");
    QTest::addColumn<QString>("request");
    QTest::addColumn<QStringList>("lines"); // events aside

    using L = QStringList;
    const QString run = "Kestrune.7>Dev1.ch1 SetRunMode ", value = "Kestrune.7>Dev1.ch1 SetValue ";
    const QString on1 = "Kestrune.1>VDev ChOn ch1", off1 = "Kestrune.1>VDev ChOff ch1";
    const QString ok = "Kestrune.Line1>Client.p Ok: ", line1 = "Client.p>Kestrune.Line1 ";

    // The MFC takes its set point, the valve under it opens, and the MFC sets it again for the gas now flowing in.
    QTest::newRow("first N2 source; raised to the minimum, reply as asked")
        << L{} << line1 + "SetNewGas N2 3.0" << L{run + "1", value + "5", on1, run + "1", value + "5", ok + "3.0"};
    QTest::newRow("cut to 0 by the minimum: the reply says so")
        << L{} << line1 + "SetGas N2 2" << L{run + "2", value + "0", on1, ok + "0"};
    QTest::newRow("zero closes the route only")
        << L{"1", "2", "3"} << line1 + "SetNewGas N2 0" << L{run + "2", value + "0", off1, ok + "0"};
    QTest::newRow("Ar through the same MFC")
        << L{"3"} << line1 + "SetNewGas Ar 20 extra"
        << L{run + "1", value + "20", "Kestrune.2>VDev ChOn ch2", run + "1", value + "20", ok + "20"};
    QTest::newRow("mixed source by its whole text") << L{} << line1 + "SetGas N2,Ar 5" << L{ok + "5"};
    QTest::newRow("no source of the gas") << L{} << "Client.p>Kestrune.Mix SetNewGas He 5"
                                          << L{"Kestrune.Mix>Client.p Er:this channel cannot flow the gas [He]"};
    QTest::newRow("flow missing") << L{} << line1 + "SetNewGas N2" << L{"Kestrune.Line1>Client.p Er:Less parameters"};
    QTest::newRow("flow not finite: closes, reply as asked")
        << L{"1"} << line1 + "SetNewGas N2 inf" << L{run + "2", value + "0", off1, ok + "inf"};
    QTest::newRow("huge flow") << L{} << line1 + "SetNewGas N2 1e300"
                               << L{run + "1", value + "2147483647", on1,
                                    run + "1", value + "2147483647", ok + "1e300"};
    QTest::newRow("name in other letters") << L{} << "Client.p>Kestrune.line1 SetNewGas N2 5" << L{};

    // M measures 50, M2 4; the mixed source adds 1 of each gas.
    QTest::newRow("MFC over open N2 and Ar")
        << L{"1", "2"} << "Client.p>Kestrune.M1 GetNowGas" << L{"Kestrune.M1>Client.p @GetNowGas 25 N2 25 Ar"};
    QTest::newRow("nothing open") << L{} << "Client.p>Kestrune.M1 GetGas" << L{"Kestrune.M1>Client.p @GetGas None"};
    QTest::newRow("same gas merged") << L{} << "Client.p>Kestrune.Mix GetNowGas"
                                     << L{"Kestrune.Mix>Client.p @GetNowGas 2 N2 1 Ar"};
    QTest::newRow("whole line") << L{"1", "2", "3"} << line1 + "GetGas"
                                << L{"Kestrune.Line1>Client.p @GetGas 30 N2 26 Ar"};

    // M is set to 10, M2 to 20.
    const auto purged = [&](const QString &mode, const QString &v1, const QString &v2) {
        return L{run + mode, value + v1, "Kestrune.8>Dev2 SetRunMode " + mode, "Kestrune.8>Dev2 SetValue " + v2,
                 "Kestrune.Line1>Client.p Ok:"};
    };
    QTest::newRow("purge: every MFC below, in tree order") << L{} << line1 + "SetPurge 2" << purged("1", "20", "40");
    QTest::newRow("purge: not a number stops them") << L{} << line1 + "SetPurge abc" << purged("2", "0", "0");
    QTest::newRow("purge: huge") << L{} << line1 + "SetPurge 1e300" << purged("1", "21474836470", "42949672940");
    QTest::newRow("purge: only the subtree")
        << L{} << "Client.p>Kestrune.M1 SetPurge 3" << L{run + "1", value + "30", "Kestrune.M1>Client.p Ok:"};
    QTest::newRow("purge: magnification missing")
        << L{} << line1 + "SetPurge" << L{"Kestrune.Line1>Client.p Er:Less parameters"};
}

void TestRouting::requests()
{
    QFETCH(QStringList, open);
    QFETCH(QString, request);
    QFETCH(QStringList, lines);

    Plant plant;
    QVERIFY(plant.bus.login());
    plant.M->setSetPointText(QStringLiteral("10"));
    plant.M2->setSetPointText(QStringLiteral("20"));
    for (const auto &n : plant.owned)
        if (n->nodeKind == aNode::Valve && open.contains(n->nodeName))
            static_cast<aValve *>(n.get())->vOpen();
    plant.bus.settle({"Dev1.ch1>Kestrune _ChangedValue 50", "Dev2>Kestrune _ChangedValue 4"});
    QStringList seen = plant.bus.settle({request});
    seen.removeIf([](const QString &line) { return line.contains(QLatin1String(">System _Ev")); });
    QCOMPARE(seen, lines);
}

void TestRouting::access_data()
{
    QTest::addColumn<QStringList>("clients"); // REMOTE_CLIENTS entries; none: the key is absent
    QTest::addColumn<bool>("remote");
    QTest::addColumn<QString>("request");
    QTest::addColumn<QString>("reply");
    QTest::addColumn<bool>("switched"); // lines beside the reply went out

    using L = QStringList;
    const QString set = ">Kestrune.Line1 SetNewGas N2 5", purge = ">Kestrune.M1 SetPurge 2";
    const QString ok = "Kestrune.Line1>%1 Ok: 5", denied = "Kestrune.Line1>%1 Er:not allowed";
    const QString off = "Kestrune.Line1>Op.p Er:remote control is off";
    QTest::newRow("no key: everyone") << L{} << true << "X.p" + set << ok.arg("X.p") << true;
    QTest::newRow("listed, any sub-name")
        << L{"Op Recipe"} << true << "Recipe.a.b" + set << ok.arg("Recipe.a.b") << true;
    QTest::newRow("every entry counts; no sub-name") << L{"X", "Op"} << true << "Op" + set << ok.arg("Op") << true;
    QTest::newRow("SetGas, name in other letters")
        << L{"Op"} << true << "op.p>Kestrune.Line1 SetGas N2 5" << denied.arg("op.p") << false;
    QTest::newRow("key without names: nobody") << L{""} << true << "Op.p" + set << denied.arg("Op.p") << false;
    QTest::newRow("a sender's whole name is no client name")
        << L{"Op.p"} << true << "Op.p" + set << denied.arg("Op.p") << false;
    QTest::newRow("per line: other line") << L{"Op@M1"} << true << "Op.p" + set << denied.arg("Op.p") << false;
    QTest::newRow("per line: its line") << L{"Op@M1"} << true << "Op.p" + purge << "Kestrune.M1>Op.p Ok:" << true;
    QTest::newRow("local control") << L{} << false << "Op.p" + set << off << false;
    QTest::newRow("local control, purge")
        << L{"Op"} << false << "Op.p" + purge << "Kestrune.M1>Op.p Er:remote control is off" << false;
    QTest::newRow("not listed, local control") << L{"Op"} << false << "X.p" + set << denied.arg("X.p") << false;
    QTest::newRow("reading stays open") << L{"Op"} << false << "X.p>Kestrune.Line1 GetNowGas"
                                        << "Kestrune.Line1>X.p @GetNowGas 1 N2 1 Ar" << false;
}

void TestRouting::access()
{
    QFETCH(QStringList, clients);
    QFETCH(bool, remote);
    QFETCH(QString, request);
    QFETCH(QString, reply);
    QFETCH(bool, switched);

    Plant plant;
    RemoteAccess gate(clients, remote);
    for (const auto &n : plant.owned)
        n->access = &gate;
    QSignalSpy refused(&gate, &RemoteAccess::refused);
    QVERIFY(plant.bus.login());
    const QStringList seen = plant.bus.settle({request});
    QVERIFY2(seen.contains(reply), qPrintable(seen.join('\n')));
    QCOMPARE(seen.size() > 1, switched);

    // A refusal names its sender, its request and its reason in the log and the signal.
    const QString reason = reply.section(" Er:", 1);
    QCOMPARE(gate.refusedCount(), reason.isEmpty() ? 0 : 1);
    QCOMPARE(refused.size(), gate.refusedCount());
    if (!reason.isEmpty()) {
        TMsg msg;
        msg.parse(request);
        const QString text = msg.cmd + ' ' + msg.params;
        QCOMPARE(refused.first(), (QVariantList{msg.from, text, reason}));
        QVERIFY(plant.bus.dir.read("log.log").trimmed().endsWith(
            QString("Refused request from [%1] to [%2] : %3 : %4").arg(msg.from, msg.toSub, text, reason).toUtf8()));
    }
}

QTEST_MAIN(TestRouting)
#include "tst_routing.moc"
