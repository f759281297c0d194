#include "app/startup.h"
#include "config/config.h"
#include "window/body.h"
#include "support/tempworkdir.h"

#include <QProcess>
#include <QTranslator>
#include <QtTest>

namespace {

struct Argv
{
    explicit Argv(const QStringList &args)
    {
        for (const QString &a : args)
            storage << a.toUtf8();
        for (QByteArray &b : storage)
            pointers << b.data();
    }
    int argc() const { return int(pointers.size()); }
    char **argv() { return pointers.data(); }

    QList<QByteArray> storage;
    QList<char *> pointers;
};

} // namespace

class TestStartup : public QObject
{
    Q_OBJECT

private slots:
    void configPath_data();
    void configPath();
    void language_data();
    void language();
    void catalogueLoads();
    void untranslatedTitle();
    void missingConfigStillStarts();
};

void TestStartup::configPath_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("path");

    QTest::newRow("none: default") << QStringList{"prog"} << "default.cfg";
    QTest::newRow("-c") << QStringList{"prog", "-c", "a.cfg"} << "a.cfg";
    QTest::newRow("-config") << QStringList{"prog", "-config", "b.cfg"} << "b.cfg";
    QTest::newRow("-config wins over -c") << QStringList{"prog", "-c", "a.cfg", "-config", "b.cfg"} << "b.cfg";
    QTest::newRow("-config wins in any order") << QStringList{"prog", "-config", "b.cfg", "-c", "a.cfg"} << "b.cfg";
    QTest::newRow("last -c wins") << QStringList{"prog", "-c", "a.cfg", "-c", "b.cfg"} << "b.cfg";
    QTest::newRow("-c last argument: empty") << QStringList{"prog", "-c"} << "";
    QTest::newRow("-C not recognised") << QStringList{"prog", "-C", "a.cfg"} << "default.cfg";
}

void TestStartup::configPath()
{
    QFETCH(QStringList, args);
    QFETCH(QString, path);

    Argv a(args);
    Config cfg;
    cfg.readArgs(a.argc(), a.argv());
    QCOMPARE(chooseConfigPath(cfg, "default.cfg"), path);
}

void TestStartup::language_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<bool>("japanese");

    QTest::newRow("default") << QStringList{"prog"} << true;
    QTest::newRow("-e") << QStringList{"prog", "-e"} << false;
    QTest::newRow("-e -j") << QStringList{"prog", "-e", "-j"} << true;
    QTest::newRow("-j -e") << QStringList{"prog", "-j", "-e"} << false;
    QTest::newRow("program path not examined") << QStringList{"-e"} << true;
    QTest::newRow("-E is not -e") << QStringList{"prog", "-E"} << true;
}

void TestStartup::language()
{
    QFETCH(QStringList, args);
    QFETCH(bool, japanese);
    Argv a(args);
    QCOMPARE(japaneseWanted(a.argc(), a.argv()), japanese);
}

void TestStartup::catalogueLoads()
{
    QTranslator translator;
    QVERIFY(loadCatalogue(translator));
    QVERIFY(QCoreApplication::installTranslator(&translator));

    {
        TempWorkDir dir;
        Body body;
        QCOMPARE(body.windowTitle(), QStringLiteral("ガスコントロール"));
    }
    QCOMPARE(QCoreApplication::translate("MFCC", "Curr. SP"), QStringLiteral("現在設定値"));
    // Messages without a translation keep their source text.
    QCOMPARE(QCoreApplication::translate("MFCC", "1"), QStringLiteral("1"));
    QCOMPARE(QCoreApplication::translate("Telso", "%1 %2\n"), QStringLiteral("%1 %2\n"));
    QCOMPARE(QCoreApplication::translate("Style", "Opening"), QStringLiteral("Opening"));

    QCoreApplication::removeTranslator(&translator);
}

void TestStartup::untranslatedTitle()
{
    TempWorkDir dir;
    Body body;
    QCOMPARE(body.windowTitle(), QStringLiteral("Gas Flow Controll"));
}

void TestStartup::missingConfigStillStarts()
{
    const QString binary = qEnvironmentVariable("KESTRUNE_BIN_DIR") + "/kestrune";
    if (!QFile::exists(binary))
        QSKIP("the kestrune binary is not built");

    QTemporaryDir dir;
    QProcess proc;
    proc.setWorkingDirectory(dir.path());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    // Nothing listens here: the program must start all the same.
    proc.setProcessEnvironment(env);
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
