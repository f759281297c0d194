// "kestrune -check": every configuration mistake reported once, with its place.
#include "config/config.h"
#include "support/configtext.h"
#include "support/tempworkdir.h"
#include "plant/plantcheck.h"

#include <QtTest>

class TestPlantCheck : public QObject
{
    Q_OBJECT

private slots:
    void problems_data();
    void problems();
};

void TestPlantCheck::problems_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("expected");

    const QString v12 = "VALVE 1 0 N2 1 L Dev ch1\nVALVE 2 1 Ar 1 L Dev ch2\n";
    QTest::newRow("clean") << v12 + "MFC 1 0 N2 1 M Dev\nMFC 2 1 N2 1 DUMMY\nNODE 1 - 0 J\nCONNECT VALVE 1 NODE 1\n"
                                    "CONNECT NODE 1 MFC 1\nTELSO_CH Line1 MFC 1\nEXCLUSIVE 1 2\nCOND_TO_OPEN V2 1 off\n"
                                    "TIME_TO_OPEN valve 1 1.5\nTELSO_PORT 0x17A9\nTELSO_RECONNECT 0.5\n"
                                    "REMOTE_CLIENTS Op Op@Line1\nREMOTE_CONTROL off\n"
                                    "CONFIRM_TIMEOUT 2.5\nDEVICE_POLL 0\nLINK_TIMEOUT 2\n"
                           << QStringList{};
    QTest::newRow("places across includes")
        << "TELSO_PORT 9a\nINCLUDE part.cfg\nVALVE 1 0 N2 1 L Dev ch1\nINCLUDE plant.cfg\n"
        << QStringList{"plant.cfg:1: TELSO_PORT: \"9a\" is not a port number; port 0 is used",
                       "plant.cfg:3: VALVE 1 is defined again (first at part.cfg:2); every reference finds the first",
                       "plant.cfg:4: INCLUDE of \"plant.cfg\" skipped: that file is already being read",
                       "part.cfg:2: VALVE 1 has no channel on Dev", "part.cfg:3: INCLUDE: cannot open \"gone.cfg\""};
    QTest::newRow("item not a whole number")
        << "VALVE 1 x N2 1 L Dev ch1 1 2 3 4.5\n"
        << QStringList{"plant.cfg:1: VALVE 1 column: \"x\" is not a whole number; 0 is used",
                       "plant.cfg:1: VALVE 1 h: \"4.5\" is not a whole number; 0 is used"};
    QTest::newRow("condition target missing stops later entries")
        << v12 + "COND_TO_OPEN 9 1 ON\nCOND_TO_OPEN 1 2 ON\nCOND_TO_OPEN 2 1 ON\n"
        << QStringList{"plant.cfg:3: COND_TO_OPEN: no VALVE 9; this and the 2 later COND_TO_OPEN entries are ignored"};
    QTest::newRow("remote clients and control")
        << v12 + "TELSO_CH Ghost VALVE 9\nREMOTE_CLIENTS Op Op@Ghost a.b @L\nREMOTE_CLIENTS\nREMOTE_CONTROL 1\n"
        << QStringList{"plant.cfg:3: TELSO_CH Ghost: no VALVE 9; the name is given to no node",
                       "plant.cfg:4: REMOTE_CLIENTS: \"Op@Ghost\" names no bus name \"Ghost\"; it allows nothing",
                       "plant.cfg:4: REMOTE_CLIENTS: \"a.b\" is not a client name; it allows nobody",
                       "plant.cfg:4: REMOTE_CLIENTS: \"@L\" is not a client name; it allows nobody",
                       "plant.cfg:5: REMOTE_CLIENTS names no client; this entry allows nobody",
                       "plant.cfg:6: REMOTE_CONTROL: \"1\" is neither ON nor OFF; the panel starts in local control"};
    QTest::newRow("watch times") << "CONFIRM_TIMEOUT 0\nDEVICE_POLL 1,5\n"
                                 << QStringList{"plant.cfg:1: CONFIRM_TIMEOUT: \"0\" is not a positive number; 5 "
                                                "seconds are used",
                                                "plant.cfg:2: DEVICE_POLL: \"1,5\" is not a number of seconds; the "
                                                "devices are not polled"};
    QTest::newRow("settings and hardware")
        << "MFC_PANEL\nDISP_WIDTH 9x\nTELSO_PORT\nTELSO_RECONNECT\nLINK_TIMEOUT x\nTELSO_RECONNECT -1\n"
           "VALVE 1 0 N2 1 L \"\" ch1 1 1 1 1 NC\nMFC 1 0 N2 1 M\nNODE\nTELSO_CH X PUMP 1\nTIME_TO_OPEN VALVE 1\n"
           "TIME_TO_OPEN VALVE 1 1\n"
        << QStringList{"plant.cfg:1: MFC_PANEL has no value; 0 is used",
                       "plant.cfg:2: DISP_WIDTH: \"9x\" is not a whole number; 0 is used",
                       "plant.cfg:3: TELSO_PORT has no value; port 0 is used",
                       "plant.cfg:4: TELSO_RECONNECT has no value; recovery is off",
                       "plant.cfg:5: LINK_TIMEOUT: \"x\" is not a number; stall detection is off",
                       "plant.cfg:6: TELSO_RECONNECT: -1 is below 0; recovery is off",
                       "plant.cfg:7: VALVE 1: flag \"NC\" is not N_ON; the valve is a normal one",
                       "plant.cfg:7: VALVE 1 has no hardware node; its commands go nowhere",
                       "plant.cfg:8: MFC 1 has no hardware node; its commands go nowhere",
                       "plant.cfg:9: NODE without a name; it counts as number 0",
                       "plant.cfg:10: TELSO_CH X: \"PUMP\" is not a node type (VALVE, MFC or NODE); the name is given "
                       "to no node",
                       "plant.cfg:11: TIME_TO_OPEN needs VALVE, a valve number and minutes; this and the 1 later "
                       "TIME_TO_OPEN entry are ignored"};
    QTest::newRow("groups, conditions, a nameless bus name")
        << v12 + "EXCLUSIVE 1 2 7\nCOND_TO_OPEN 1 M3 ON\nCOND_TO_OPEN 2 1 maybe 2\nCOND_TO_CLOSE 1\nTELSO_CH \"\" VALVE 1\n"
                 "VALVE 5 0 N2 1 \"L Dev ch5\n"
        << QStringList{"plant.cfg:3: EXCLUSIVE: no VALVE 7; it is left out of the group",
                       "plant.cfg:4: COND_TO_OPEN: MFC 3 cannot be named: conditions are attached before the MFCs are "
                       "built; the condition ends before it",
                       "plant.cfg:5: COND_TO_OPEN: state \"maybe\" is neither ON nor OFF; it is taken as OFF",
                       "plant.cfg:5: COND_TO_OPEN: \"2\" has no state and is ignored",
                       "plant.cfg:6: COND_TO_CLOSE needs a valve and at least one reference with its state; this "
                       "entry is ignored",
                       "plant.cfg:7: TELSO_CH without a name gives VALVE 1 none",
                       "plant.cfg:8: item \"L Dev ch5 starts with a quote that is never closed",
                       "plant.cfg:8: VALVE 5 has no hardware node and no channel; its commands go nowhere"};
    // Counted once per node: 2^14 paths are found at once; 2^13 are within the limit.
    QTest::newRow("paths within the limit") << QString(diamondPlant(13)) << QStringList{};
    QTest::newRow("too many paths") << QString(diamondPlant(14))
                                    << QStringList{"plant.cfg:3: MFC 1 has more than 10000 paths up to its sources; "
                                                   "Stat and SetPurge walk every one"};
    // Valve 2 cycles in 1.1 minutes: slow enough.
    QTest::newRow("timers")
        << v12 + "TIME_TO_OPEN VALVE 1 0.001\nTIME_TO_CLOSE VALVE 1 0.5\n"
                 "TIME_TO_CLOSE VALVE 2 0.9\nTIME_TO_OPEN VALVE 2 0.2\n"
        << QStringList{"plant.cfg:3: TIME_TO_OPEN VALVE 1: 0.001 min is below one second; one second is used",
                       "plant.cfg:4: VALVE 1: opening after 0.001 min and closing after 0.5 min cycle it more often "
                       "than once a minute"};
    QTest::newRow("a time of 0 is no cycle") << v12 + "TIME_TO_OPEN VALVE 2 0.2\nTIME_TO_CLOSE VALVE 2 0\n" << QStringList{};
    QTest::newRow("unknown key") << "VALVES 1 0 N2\n"
                                 << QStringList{"plant.cfg:1: unknown key \"VALVES\"; the entry is not used"};
    QTest::newRow("one of each")
        << "VALVE 1 0 N2 1.0 Main VBox ch1 20 10 4 4\nVALVE 1 1 Ar 1.0 Main VBox ch2 40 10 4 4\n"
           "VALVE 3 2 N2 1.0 Purge\nVALVE 4 3 N2 abc Line VBox ch4\nMFC 1 0 N2 1 MFC1 MBox c1\n"
           "NODE 1 - 0 J1\nNODE 2 - 0 J2\nCONNECT VALVE 1 NODE 1\nCONNECT NODE 9 MFC 1\n"
           "CONNECT NODE 1 NODE 2\nCONNECT NODE 2 NODE 1\nTELSO_CH Line9 VALVE 9\nCOND_TO_OPEN 1 7 ON\n"
           "TIME_TO_OPEN MFC 1 2\nINCLUDE missing.cfg\nNAME_ON_TELSO \"Kes trune\n"
        << QStringList{"plant.cfg:2: VALVE 1 is defined again (first at plant.cfg:1); every reference finds the first",
                       "plant.cfg:3: VALVE 3 has no hardware node and no channel; its commands go nowhere",
                       "plant.cfg:4: VALVE 4 cf: \"abc\" is not a number; 0 is used",
                       "plant.cfg:9: CONNECT skipped: no NODE 9",
                       "plant.cfg:11: CONNECT skipped: it would close a loop between NODE 2 and NODE 1",
                       "plant.cfg:12: TELSO_CH Line9: no VALVE 9; the name is given to no node",
                       "plant.cfg:13: COND_TO_OPEN: no VALVE 7; the condition ends before it",
                       "plant.cfg:14: TIME_TO_OPEN: \"MFC\" is not VALVE; this entry is ignored",
                       "plant.cfg:15: INCLUDE: cannot open \"missing.cfg\"",
                       "plant.cfg:16: item \"Kes trune starts with a quote that is never closed"};
}

void TestPlantCheck::problems()
{
    QFETCH(QString, text);
    QFETCH(QStringList, expected);
    TempWorkDir dir;
    dir.write("part.cfg", "# valves\nVALVE 1 0 N2 1 L Dev\nINCLUDE gone.cfg\n");
    Config cfg;
    dir.write("plant.cfg", text.toUtf8());
    cfg.readFile("plant.cfg");
    QCOMPARE(PlantCheck(cfg).problems(), expected);
}

QTEST_GUILESS_MAIN(TestPlantCheck)
#include "tst_plantcheck.moc"
