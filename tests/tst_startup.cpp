#include "app/startup.h"
#include "config/config.h"
#include "window/body.h"
#include "support/tempworkdir.h"

#include <QProcess>
#include <QTranslator>
#include <QtTest>

class TestStartup : public QObject
{
    Q_OBJECT

private slots:
    void arguments_data();
    void arguments();
    void catalogueLoads();
    void missingConfigStillStarts();
};

void TestStartup::arguments_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("japanese");

    QTest::newRow("none: defaults") << QStringList{"prog"} << "default.cfg" << true;
    QTest::newRow("-c, -e") << QStringList{"prog", "-c", "a.cfg", "-e"} << "a.cfg" << false;
    QTest::newRow("-config, -e -j") << QStringList{"prog", "-config", "b.cfg", "-e", "-j"} << "b.cfg" << true;
    QTest::newRow("-config wins over -c, -j -e")
        << QStringList{"prog", "-c", "a.cfg", "-config", "b.cfg", "-j", "-e"} << "b.cfg" << false;
    QTest::newRow("-config wins in any order") << QStringList{"prog", "-config", "b.cfg", "-c", "a.cfg"} << "b.cfg" << true;
    QTest::newRow("last -c wins") << QStringList{"prog", "-c", "a.cfg", "-c", "b.cfg"} << "b.cfg" << true;
    QTest::newRow("-c last argument: empty") << QStringList{"prog", "-c"} << "" << true;
    QTest::newRow("-C, -E not recognised") << QStringList{"prog", "-C", "a.cfg", "-E"} << "default.cfg" << true;
    QTest::newRow("program path not examined for -e") << QStringList{"-e"} << "default.cfg" << true;
}

void TestStartup::arguments()
{
    QFETCH(QStringList, args);
    QFETCH(QString, path);
    QFETCH(bool, japanese);

    QList<QByteArray> storage;
    QList<char *> argv;
    for (const QString &arg : args)
        argv << (storage << arg.toUtf8()).last().data();
    Config cfg;
    cfg.readArgs(int(argv.size()), argv.data());
    QCOMPARE(chooseConfigPath(cfg, "default.cfg"), path);
    QCOMPARE(japaneseWanted(int(argv.size()), argv.data()), japanese);
}

void TestStartup::catalogueLoads()
{
    TempWorkDir dir;
    QCOMPARE(Body().windowTitle(), QStringLiteral("Gas Flow Controll"));
    QTranslator translator;
    QVERIFY(loadCatalogue(translator));
    QVERIFY(QCoreApplication::installTranslator(&translator));
    QCOMPARE(Body().windowTitle(), QStringLiteral("ガスコントロール"));
    QCOMPARE(QCoreApplication::translate("MFCC", "Curr. SP"), QStringLiteral("現在設定値"));
    // Messages without a translation keep their source text.
    QCOMPARE(QCoreApplication::translate("MFCC", "1"), QStringLiteral("1"));
    QCOMPARE(QCoreApplication::translate("Telso", "%1 %2\n"), QStringLiteral("%1 %2\n"));
    QCOMPARE(QCoreApplication::translate("Style", "Opening"), QStringLiteral("Opening"));
    QCoreApplication::removeTranslator(&translator);
}

void TestStartup::missingConfigStillStarts()
{
    const QString binary = qEnvironmentVariable("KESTRUNE_BIN_DIR") + "/kestrune";
    if (!QFile::exists(binary))
        QSKIP("the kestrune binary is not built");

    QTemporaryDir dir;
    QProcess proc;
    proc.setWorkingDirectory(dir.path());
    // Neither a file nor a server: the program must start all the same.
    proc.start(binary, {"-c", "missing.cfg", "-e"});
    QVERIFY(proc.waitForStarted(10000));
    QByteArray err;
    QTRY_VERIFY_WITH_TIMEOUT((err += proc.readAllStandardError()).contains("Can't open config file : missing.cfg"), 20000);
    QCOMPARE(proc.state(), QProcess::Running);
    proc.kill();
    proc.waitForFinished(10000);
}

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
