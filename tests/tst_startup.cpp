#include "app/commandline.h"
#include "app/startup.h"
#include "config/config.h"
#include "window/body.h"
#include "support/argv.h"
#include "support/tempworkdir.h"

#include <QLabel>
#include <QProcess>
#include <QStatusBar>
#include <QTranslator>
#include <QtTest>

class TestStartup : public QObject
{
    Q_OBJECT

private slots:
    void arguments_data();
    void arguments();
    void catalogueLoads();
    void commandLine_data();
    void commandLine();
    void noConfigNotice_data();
    void noConfigNotice();
    void stateFolder_data();
    void stateFolder();
};

void TestStartup::arguments_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("japanese");
    QTest::addColumn<bool>("check");

    QTest::newRow("none: defaults") << QStringList{"prog"} << "default.cfg" << true << false;
    QTest::newRow("-e first, -c") << QStringList{"prog", "-e", "-c", "a.cfg"} << "a.cfg" << false << false;
    QTest::newRow("-check first, -config, -e -j")
        << QStringList{"prog", "-check", "-config", "b.cfg", "-e", "-j"} << "b.cfg" << true << true;
    QTest::newRow("-config wins over -c, -j -e, -check last")
        << QStringList{"prog", "-c", "a.cfg", "-config", "b.cfg", "-j", "-e", "-check"} << "b.cfg" << false << true;
    QTest::newRow("last -c wins") << QStringList{"prog", "-c", "a.cfg", "-c", "b.cfg"} << "b.cfg" << true << false;
    QTest::newRow("-c last argument: empty") << QStringList{"prog", "-c"} << "" << true << false;
    QTest::newRow("-C, -E, -Check not recognised")
        << QStringList{"prog", "-C", "a.cfg", "-E", "-Check"} << "default.cfg" << true << false;
    QTest::newRow("program path not examined") << QStringList{"-e"} << "default.cfg" << true << false;
    QTest::newRow("program path not examined for -check") << QStringList{"-check"} << "default.cfg" << true << false;
}

// The choices main makes from its arguments: the file, the check, and the
// language, by the catalogues it installs (the panel's and Qt's own).
void TestStartup::arguments()
{
    QFETCH(QStringList, args);
    QFETCH(QString, path);
    QFETCH(bool, japanese);
    QFETCH(bool, check);

    Argv argv(args);
    Config cfg;
    cfg.readArgs(argv.argc(), argv.argv());
    QCOMPARE(chooseConfigPath(cfg, "default.cfg"), path);
    QCOMPARE(checkWanted(argv.argc(), argv.argv()), check);

    QTranslator translator, qt;
    installCatalogues(argv.argc(), argv.argv(), translator, qt);
    const QStringList shown{QCoreApplication::translate("MFCC", "Curr. SP"),
                            QCoreApplication::translate("QLineEdit", "&Copy"),
                            QCoreApplication::translate("MFCC", "1")}; // no translation: the source text
    QCoreApplication::removeTranslator(&translator);
    QCoreApplication::removeTranslator(&qt);
    QCOMPARE(shown, (japanese ? QStringList{"現在設定値", "コピー(&C)", "1"} : QStringList{"Curr. SP", "&Copy", "1"}));
}

void TestStartup::catalogueLoads()
{
    TempWorkDir dir;
    QCOMPARE(Body().windowTitle(), QStringLiteral("Gas Flow Controll"));
    QTranslator translator;
    QVERIFY(loadCatalogue(translator));
    QVERIFY(QCoreApplication::installTranslator(&translator));
    QCOMPARE(Body().windowTitle(), QStringLiteral("ガスコントロール"));
    QCoreApplication::removeTranslator(&translator);
    // The desktop knows the window by its entry, and shows its icon.
    identifyApplication();
    QCOMPARE(QGuiApplication::desktopFileName(), QString("org.kestrune.Kestrune"));
    QVERIFY(!QGuiApplication::windowIcon().isNull());
}

void TestStartup::commandLine_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("firstLine"); // or the whole output

    const QString usage = "Usage: kestrune [options] [Qt options]";
    const QString plant = qEnvironmentVariable("KESTRUNE_SOURCE_DIR") + "/examples/plant.cfg";
    QFile help(QFINDTESTDATA("data/kestrune-help.txt")); // the whole text, as the operator reads it
    QVERIFY(help.open(QIODevice::ReadOnly));
    QTest::newRow("--help") << "kestrune" << QStringList{"--help"} << 0 << QString::fromUtf8(help.readAll());
    QTest::newRow("-h after -c") << "kestrune" << QStringList{"-c", "x.cfg", "-h"} << 0 << usage;
    QTest::newRow("--version, --desktop") << "kestrune" << QStringList{"--desktop", "--version"} << 0
                                          << "kestrune " + kestruneVersion();
    QTest::newRow("check: Qt options are not unused")
        << "kestrune" << QStringList{"-check", "-c", plant, "-style", "x", "--platform", "offscreen"} << 0 << "";
    QTest::newRow("check: --desktop creates nothing") << "kestrune" << QStringList{"--desktop", "-check", "-c", plant}
                                                      << 0 << "";
    QTest::newRow("check: unused arguments warned")
        << "kestrune" << QStringList{"-check", "stray", "-c", plant, "-x", "-e"} << 0
        << "kestrune: argument not used: stray";
    QTest::newRow("check: -c without a file") << "kestrune" << QStringList{"-check", "-c"} << 1
                                              << "Can't open config file : \nno configuration file to read\n";
    static QTemporaryDir elsewhere; // the mistakes are reported by their place; nothing is written
    QFile bad(elsewhere.filePath("bad.cfg"));
    QVERIFY(bad.open(QIODevice::WriteOnly) && bad.write("VALVE 3 2 N2 1.0 Purge\n") > 0);
    QTest::newRow("check: a mistake") << "kestrune" << QStringList{"-check", "-c", bad.fileName()} << 1
                                      << bad.fileName() + ":1: VALVE 3 has no hardware node and no channel; its "
                                                          "commands go nowhere";
}

void TestStartup::commandLine()
{
    QFETCH(QString, program);
    QFETCH(QStringList, args);
    QFETCH(int, status);
    QFETCH(QString, firstLine);

    // No display to be had, and a home of its own: nothing may be written.
    QTemporaryDir dir;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "XDG_CONFIG_HOME", "XDG_STATE_HOME"})
        env.remove(name);
    env.insert("QT_QPA_PLATFORM", "xcb");
    env.insert("HOME", dir.path());
    QProcess proc;
    proc.setProcessEnvironment(env);
    proc.setWorkingDirectory(dir.path());
    proc.setProcessChannelMode(QProcess::MergedChannels);
    proc.start(qEnvironmentVariable("KESTRUNE_BIN_DIR") + "/" + program, args);
    QVERIFY2(proc.waitForStarted(10000), qPrintable(proc.errorString()));
    QVERIFY(proc.waitForFinished(30000));
    QCOMPARE(proc.exitStatus(), QProcess::NormalExit);
    QCOMPARE(proc.exitCode(), status);
    const QString output = QString::fromUtf8(proc.readAll());
    QCOMPARE(firstLine.contains('\n') ? output : output.section('\n', 0, 0), firstLine);
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList());
}

void TestStartup::noConfigNotice_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<bool>("userFile"); // $XDG_CONFIG_HOME/kestrune/Kestrune.cfg exists
    QTest::addColumn<QString>("notice"); // %1: the working directory

    QTest::newRow("named file missing") << QStringList{"prog", "-c", "nosuch.cfg"} << true
                                        << "No configuration file read: cannot open %1/nosuch.cfg";
    QTest::newRow("no name after -c") << QStringList{"prog", "-c"} << true
                                      << "No configuration file read: no file name after -c";
    QTest::newRow("no name after -config") << QStringList{"prog", "-config"} << true
                                           << "No configuration file read: no file name after -config";
    QTest::newRow("user's file found") << QStringList{"prog"} << true << "";
    // From the desktop, with a file where the state folder should be.
    QTest::newRow("no state folder, no file") << QStringList{"prog", "-c", "nosuch.cfg"} << true
                                              << "Cannot work in %1/file/kestrune; files go to %1; No configuration "
                                                 "file read: cannot open %1/nosuch.cfg";
    QTest::newRow("none found")
        << QStringList{"prog"} << false
        << "No configuration file read: none of " + QCoreApplication::applicationDirPath() +
               "/Kestrune.cfg, %1/kestrune/Kestrune.cfg, /etc/kestrune/Kestrune.cfg exists";
}

void TestStartup::noConfigNotice()
{
    QFETCH(QStringList, args);
    QFETCH(bool, userFile);
    QFETCH(QString, notice);

    TempWorkDir dir;
    qputenv("XDG_CONFIG_HOME", dir.path().toUtf8());
    qputenv("XDG_STATE_HOME", dir.write("file", "x").toUtf8());
    if (userFile) {
        QDir(dir.path()).mkpath("kestrune");
        dir.write("kestrune/Kestrune.cfg", "TELSO_PORT 1\n");
    }
    Argv argv(args);
    config.clear();
    const QString shown = readStartupConfiguration(argv.argc(), argv.argv(), notice.startsWith("Cannot work"));
    QCOMPARE(shown, notice.arg(dir.path()));
    qunsetenv("XDG_CONFIG_HOME");
    qunsetenv("XDG_STATE_HOME");

    Body body;
    body.showStartupNotice(shown);
    auto *label = body.statusBar()->findChild<QLabel *>("startupNotice");
    QCOMPARE(label != nullptr, !notice.isEmpty());
    if (label) {
        body.statusBar()->showMessage("a passing message");
        QVERIFY(label->isVisible());
        QCOMPARE(label->text(), shown);
    }
}

void TestStartup::stateFolder_data()
{
    QTest::addColumn<QString>("stateHome"); // $XDG_STATE_HOME; %1: home
    QTest::addColumn<QString>("workIn");

    QTest::newRow("XDG_STATE_HOME") << "%1/state" << "%1/state/kestrune";
    QTest::newRow("relative: ignored") << "state" << "%1/.local/state/kestrune";
}

void TestStartup::stateFolder()
{
    QFETCH(QString, stateHome);
    QFETCH(QString, workIn);

    TempWorkDir dir;
    const QByteArray home = qgetenv("HOME");
    qputenv("HOME", dir.path().toUtf8());
    qputenv("XDG_STATE_HOME", stateHome.arg(dir.path()).toUtf8());
    const QString problem = enterStateFolder(true);
    qputenv("HOME", home);
    qunsetenv("XDG_STATE_HOME");
    QCOMPARE(problem, QString());
    QCOMPARE(QDir::currentPath(), workIn.arg(dir.path()));
    QVERIFY(!(QFileInfo(".").permissions() & (QFile::ReadGroup | QFile::ReadOther))); // only its owner's
}

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
