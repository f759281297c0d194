// "kestrune -check": every configuration mistake reported once, with its
// place, and nothing said without "-check".
#include "config/config.h"
#include "support/tempworkdir.h"
#include "window/plantcheck.h"

#include <QDate>
#include <QProcess>
#include <QtTest>

namespace {

QStringList check(const TempWorkDir &dir, const QByteArray &text)
{
    dir.write("plant.cfg", text);
    Config cfg;
    cfg.readFile("plant.cfg");
    return PlantCheck(cfg).problems();
}

QString binary()
{
    return qEnvironmentVariable("KESTRUNE_BIN_DIR") + "/kestrune";
}

QString examplePlant()
{
    return qEnvironmentVariable("KESTRUNE_SOURCE_DIR") + "/examples/plant.cfg";
}

// Without a display: the check must not need one.
QProcessEnvironment headless()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    env.insert("QT_QPA_PLATFORM", "xcb");
    return env;
}

// One of each kind of mistake, and the line each gives.
const QByteArray everyMistake = R"(VALVE 1 0 N2 1.0 Main VBox ch1 20 10 4 4
VALVE 1 1 Ar 1.0 Main VBox ch2 40 10 4 4
VALVE 3 2 N2 1.0 Purge
VALVE 4 3 N2 abc Line VBox ch4
MFC 1 0 N2 1 MFC1 MBox c1
NODE 1 - 0 J1
NODE 2 - 0 J2
CONNECT VALVE 1 NODE 1
CONNECT NODE 9 MFC 1
CONNECT NODE 1 NODE 2
CONNECT NODE 2 NODE 1
TELSO_CH Line9 VALVE 9
COND_TO_OPEN 1 7 ON
TIME_TO_OPEN MFC 1 2
INCLUDE missing.cfg
NAME_ON_TELSO "Kes trune
)";

const QStringList everyMistakeLines{
    "bad.cfg:2: VALVE 1 is defined again (first at bad.cfg:1); every reference finds the first",
    "bad.cfg:3: VALVE 3 has no hardware node and no channel; its commands go nowhere",
    "bad.cfg:4: VALVE 4 cf: \"abc\" is not a number; 0 is used",
    "bad.cfg:9: CONNECT skipped: no NODE 9",
    "bad.cfg:11: CONNECT skipped: it would close a loop between NODE 2 and NODE 1",
    "bad.cfg:12: TELSO_CH Line9: no VALVE 9; the name is given to no node",
    "bad.cfg:13: COND_TO_OPEN: no VALVE 7; the condition ends before it",
    "bad.cfg:14: TIME_TO_OPEN: \"MFC\" is not VALVE; this entry is ignored",
    "bad.cfg:15: INCLUDE: cannot open \"missing.cfg\"",
    "bad.cfg:16: item \"Kes trune starts with a quote that is never closed",
};

} // namespace

class TestPlantCheck : public QObject
{
    Q_OBJECT

private slots:
    void problems_data();
    void problems();
    void placesAcrossIncludes();
    void examplePlantIsClean();
    void binaryReportsEachMistakeOnce();
    void nothingSaidWithoutCheck();
};

void TestPlantCheck::problems_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("expected");

    const QString v1 = "VALVE 1 0 N2 1 L Dev ch1\n";
    const QString v2 = "VALVE 2 1 Ar 1 L Dev ch2\n";

    QTest::newRow("clean") << v1 + v2 +
                                  "MFC 1 0 N2 1 M Dev\nMFC 2 1 N2 1 DUMMY\nNODE 1 - 0 J\n"
                                  "CONNECT VALVE 1 NODE 1\nCONNECT NODE 1 MFC 1\nTELSO_CH Line1 MFC 1\n"
                                  "EXCLUSIVE 1 2\nCOND_TO_OPEN V2 1 off\nCOND_TO_CLOSE 1 2 On\n"
                                  "TIME_TO_OPEN valve 1 1.5\nTELSO_PORT 0x17A9\nTELSO_RECONNECT 0.5\n"
                                  "VALVE 3 2 N2 1 L Dev ch3 0 0 0 0 n_on\n"
                           << QStringList{};
    QTest::newRow("unclosed quote") << QString("NAME_ON_TELSO \"Kes trune\n")
                                    << QStringList{
                                           "plant.cfg:1: item \"Kes trune starts with a quote that is never closed"};
    QTest::newRow("include of itself")
        << v1 + "INCLUDE plant.cfg\n"
        << QStringList{"plant.cfg:2: INCLUDE of \"plant.cfg\" skipped: that file is already being read"};
    QTest::newRow("valve twice") << v1 + v2 + v1
                                 << QStringList{"plant.cfg:3: VALVE 1 is defined again (first at plant.cfg:1); "
                                                "every reference finds the first"};
    QTest::newRow("valve without channel")
        << QString("VALVE 1 0 N2 1 L Dev\n") << QStringList{"plant.cfg:1: VALVE 1 has no channel on Dev"};
    QTest::newRow("MFC without hardware node")
        << QString("MFC 1 0 N2 1 M\n")
        << QStringList{"plant.cfg:1: MFC 1 has no hardware node; its commands go nowhere"};
    QTest::newRow("item not a number") << QString("VALVE 1 x N2 1 L Dev ch1 1 2 3 4.5\n")
                                       << QStringList{
                                              "plant.cfg:1: VALVE 1 column: \"x\" is not a whole number; 0 is used",
                                              "plant.cfg:1: VALVE 1 h: \"4.5\" is not a whole number; 0 is used"};
    QTest::newRow("setting not a number")
        << QString("TELSO_PORT 0X17A9\nDISP_WIDTH wide\nTELSO_RECONNECT -1\n")
        << QStringList{"plant.cfg:1: TELSO_PORT: \"0X17A9\" is not a port number; port 0 is used",
                       "plant.cfg:2: DISP_WIDTH: \"wide\" is not a whole number; 0 is used",
                       "plant.cfg:3: TELSO_RECONNECT: -1 is below 0; recovery is off"};
    QTest::newRow("CONNECT type word") << v1 + "NODE 1 - 0 J\nCONNECT Valve 1 NODE 1\n"
                                       << QStringList{"plant.cfg:3: CONNECT skipped: \"Valve\" is not a node type "
                                                      "(VALVE, MFC or NODE)"};
    QTest::newRow("EXCLUSIVE with a missing valve")
        << v1 + v2 + "EXCLUSIVE 1 2 99\n"
        << QStringList{"plant.cfg:3: EXCLUSIVE: no VALVE 99; it is left out of the group"};
    QTest::newRow("condition target missing stops later entries")
        << v1 + v2 + "COND_TO_OPEN 9 1 ON\nCOND_TO_OPEN 1 2 ON\nCOND_TO_OPEN 2 1 ON\n"
        << QStringList{"plant.cfg:3: COND_TO_OPEN: no VALVE 9; this and the 2 later COND_TO_OPEN entries are ignored"};
    QTest::newRow("condition naming an MFC")
        << v1 + "MFC 1 0 N2 1 M Dev\nCOND_TO_OPEN 1 M1 ON\n"
        << QStringList{"plant.cfg:3: COND_TO_OPEN: MFC 1 cannot be named: conditions are attached before the MFCs "
                       "are built; the condition ends before it"};
    QTest::newRow("state word") << v1 + v2 + "COND_TO_CLOSE 1 2 OPEN\n"
                                << QStringList{"plant.cfg:3: COND_TO_CLOSE: state \"OPEN\" is neither ON nor OFF; "
                                               "it is taken as OFF"};
    QTest::newRow("reference without state")
        << v1 + v2 + "COND_TO_OPEN 1 2 ON 2\n"
        << QStringList{"plant.cfg:3: COND_TO_OPEN: \"2\" has no state and is ignored"};
    QTest::newRow("prefixed close reference")
        << v1 + v2 + "COND_TO_CLOSE 1 V2 ON\n"
        << QStringList{"plant.cfg:3: COND_TO_CLOSE: \"V2\" is not a whole number; 0 is used",
                       "plant.cfg:3: COND_TO_CLOSE: no VALVE 0; the condition ends before it"};
    QTest::newRow("time for a missing valve")
        << v1 + "TIME_TO_CLOSE VALVE 5 1\nTIME_TO_CLOSE VALVE 1 1\n"
        << QStringList{"plant.cfg:2: TIME_TO_CLOSE: no VALVE 5; this and the 1 later TIME_TO_CLOSE entry are ignored"};
    QTest::newRow("unknown key") << QString("VALVES 1 0 N2\n")
                                 << QStringList{"plant.cfg:1: unknown key \"VALVES\"; the entry is not used"};
}

void TestPlantCheck::problems()
{
    QFETCH(QString, text);
    QFETCH(QStringList, expected);

    TempWorkDir dir;
    QCOMPARE(check(dir, text.toUtf8()), expected);
}

void TestPlantCheck::placesAcrossIncludes()
{
    TempWorkDir dir;
    dir.write("lines.cfg", "# valves\nVALVE 1 0 N2 1 L Dev\nINCLUDE gone.cfg\n");
    const QStringList got = check(dir, "TELSO_PORT x\nINCLUDE lines.cfg\nVALVE 1 0 N2 1 L Dev ch1\n");
    QCOMPARE(got, (QStringList{
                      "plant.cfg:1: TELSO_PORT: \"x\" is not a port number; port 0 is used",
                      "plant.cfg:3: VALVE 1 is defined again (first at lines.cfg:2); every reference finds the first",
                      "lines.cfg:2: VALVE 1 has no channel on Dev",
                      "lines.cfg:3: INCLUDE: cannot open \"gone.cfg\"",
                  }));
}

void TestPlantCheck::examplePlantIsClean()
{
    Config cfg;
    QVERIFY2(cfg.readFile(examplePlant()), qPrintable(examplePlant()));
    QCOMPARE(PlantCheck(cfg).problems(), QStringList{});

    QProcess proc;
    proc.setProcessEnvironment(headless());
    proc.start(binary(), {"-check", "-c", examplePlant()});
    QVERIFY(proc.waitForFinished(20000));
    QCOMPARE(proc.exitStatus(), QProcess::NormalExit);
    QCOMPARE(proc.readAllStandardOutput(), QByteArray());
    QCOMPARE(proc.exitCode(), 0);
}

void TestPlantCheck::binaryReportsEachMistakeOnce()
{
    TempWorkDir dir;
    dir.write("bad.cfg", everyMistake);
    QProcess proc;
    proc.setWorkingDirectory(dir.path());
    proc.setProcessEnvironment(headless());
    proc.start(binary(), {"-c", "bad.cfg", "-check"});
    QVERIFY(proc.waitForFinished(20000));
    QCOMPARE(proc.exitStatus(), QProcess::NormalExit);
    const QStringList out = QString::fromUtf8(proc.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(out, everyMistakeLines);
    QCOMPARE(proc.exitCode(), 1);
    // A check writes nothing into the plant's files.
    QVERIFY(!QFile::exists(dir.filePath("log.log")));
}

void TestPlantCheck::nothingSaidWithoutCheck()
{
    TempWorkDir dir;
    dir.write("bad.cfg", "TELSO_PORT 1\nTELSO_RECONNECT 0\n" + everyMistake + "NAME_ON_TELSO Kestrune\n");
    QProcess proc;
    proc.setWorkingDirectory(dir.path());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    proc.setProcessEnvironment(env);
    proc.start(binary(), {"-c", "bad.cfg", "-e"});
    QVERIFY(proc.waitForStarted(10000));
    // The first record row is written once the window is built.
    const QString record = dir.filePath("Kestrune-" + QDate::currentDate().toString("yyyyMMdd") + ".log");
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(record), 20000);
    QCOMPARE(proc.state(), QProcess::Running);
    proc.kill();
    proc.waitForFinished(10000);
    QCOMPARE(proc.readAllStandardOutput(), QByteArray());
}

QTEST_GUILESS_MAIN(TestPlantCheck)
#include "tst_plantcheck.moc"
