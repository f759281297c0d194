// The built panel against the stand-in server and hardware, driven only over
// the bus by another client, as operators' scripts drive it.
#include "bus/tmsg.h"
#include "support/buspeer.h"
#include "support/simprocess.h"

#include <QDate>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QByteArray plant = R"(NAME_ON_TELSO Kestrune
KEY_FILE_NAME Kestrune
VALVE 1 0 N2 1.0 Main  VBox ch1 20 10 4 4
VALVE 2 1 Ar 1.4 Main  VBox ch2 40 10 4 4
VALVE 3 2 N2 1.0 Purge VBox ch3 60 10 4 4 N_ON
VALVE 5 3 "N2,Ar" 1.0 Line1 VBox ch5 30 80 4 4
MFC   1 0 N2 1.0 MFC1 MBox c1 30 55 8 6 100 0.02
NODE  1 - 0 J1 30 30 6 3
CONNECT VALVE 1 NODE 1
CONNECT VALVE 2 NODE 1
CONNECT NODE 1 MFC 1
CONNECT MFC 1 VALVE 5
TELSO_CH Line1 VALVE 5
TELSO_CH MFC1 MFC 1
COND_TO_OPEN 2 1 OFF
)";

} // namespace

class TestE2ESim : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void synchronisedAtLogin();
    void status();
    void routeAndFlow();
    void mixture();
    void purge();
    void refusedAndUnknownRequests();
    void filesOfTheSession();

private:
    // Sends a request and returns the first line after it that is no event.
    QString ask(const QString &request);
    // Lines the panel sent to the server, in order, without time stamps.
    QStringList panelLines() const;

    QTemporaryDir dir;
    SimProcess sim;
    QProcess panel;
    BusPeer client;
};

void TestE2ESim::initTestCase()
{
    QVERIFY(dir.isValid());
    {
        QFile keys(dir.filePath("Kestrune.key"));
        QVERIFY(keys.open(QIODevice::WriteOnly));
        keys.write("alpha\nbeta\ngamma\n");
    }
    {
        QFile cfg(dir.filePath("sim.cfg"));
        QVERIFY(cfg.open(QIODevice::WriteOnly));
        cfg.write(plant);
    }
    QVERIFY2(sim.start({"-c", dir.filePath("sim.cfg"), "--keys", dir.filePath("Kestrune.key")}),
             qPrintable(sim.errorText()));
    {
        QFile cfg(dir.filePath("plant.cfg"));
        QVERIFY(cfg.open(QIODevice::WriteOnly));
        cfg.write(plant + "TELSO_IP 127.0.0.1\nTELSO_PORT " + QByteArray::number(sim.port()) + "\n");
    }

    panel.setWorkingDirectory(dir.path());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    panel.setProcessEnvironment(env);
    panel.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    panel.start(SimProcess::binary("kestrune"), {"-c", "plant.cfg", "-e"});
    QVERIFY(panel.waitForStarted(10000));

    QVERIFY2(sim.waitForLine("<- Kestrune: Kestrune.1>MBox.c1 GetSettingValue", 20000),
             qPrintable(sim.lines().join('\n')));
    QVERIFY(client.connectTo(sim.port()));
    const QStringList keys{"alpha", "beta", "gamma"};
    QVERIFY(client.login("Client", keys.at(int(client.challenge() % 3))).startsWith("Welcome"));
}

void TestE2ESim::cleanupTestCase()
{
    panel.kill();
    panel.waitForFinished(10000);
}

QString TestE2ESim::ask(const QString &request)
{
    const int before = int(client.lines().size());
    client.send(request);
    QString answer;
    const bool answered = QTest::qWaitFor(
        [&] {
            const QStringList lines = client.lines();
            for (int i = before; i < lines.size(); ++i) {
                TMsg msg;
                if (msg.parse(lines.at(i)) != TMsg::Event) {
                    answer = lines.at(i);
                    return true;
                }
            }
            return false;
        },
        10000);
    return answered ? answer : QStringLiteral("<no answer>");
}

QStringList TestE2ESim::panelLines() const
{
    QStringList out;
    static const QRegularExpression sent("^\\S+ <- Kestrune: (.*)$");
    for (const QString &line : sim.lines()) {
        const QRegularExpressionMatch m = sent.match(line);
        if (m.hasMatch())
            out << m.captured(1);
    }
    return out;
}

void TestE2ESim::synchronisedAtLogin()
{
    const QStringList sync{
        "Kestrune.1>System flgon VBox", "Kestrune.1>VBox IsOn ch1",
        "Kestrune.2>System flgon VBox", "Kestrune.2>VBox IsOn ch2",
        "Kestrune.3>System flgon VBox", "Kestrune.3>VBox IsOn ch3",
        "Kestrune.5>System flgon VBox", "Kestrune.5>VBox IsOn ch5",
        "Kestrune.1>System flgon MBox", "Kestrune.1>System flgon MBox.c1",
        "Kestrune.1>MBox.c1 GetValue", "Kestrune.1>MBox.c1 GetSettingValue",
    };
    QCOMPARE(panelLines().mid(0, sync.size()), sync);
}

void TestE2ESim::status()
{
    QCOMPARE(ask("Client>Kestrune Stat"),
             QString("Kestrune>Client @Stat V[N2 Main,Close] V[Ar Main,Close] V[N2 Purge,Open] "
                     "V[N2,Ar Line1,Close] M[MFC1,0,0]"));
    QCOMPARE(ask("Client>Kestrune.Line1 Stat"),
             QString("Kestrune.Line1>Client @Stat V[N2 Main,Close] V[Ar Main,Close]  M[MFC1,0,0] "
                     "V[N2,Ar Line1,Close]"));
}

void TestE2ESim::routeAndFlow()
{
    QVERIFY(ask("Client>System flgon Kestrune.MFC1").contains("flgon"));
    QCOMPARE(ask("Client>Kestrune.Line1 SetNewGas N2 50"), QString("Kestrune.Line1>Client Ok: 50"));
    QVERIFY(client.waitForLine("Kestrune.MFC1>Client _ChangedValue 50", 20000));
    QCOMPARE(ask("Client>Kestrune Stat"),
             QString("Kestrune>Client @Stat V[N2 Main,Open] V[Ar Main,Close] V[N2 Purge,Open] "
                     "V[N2,Ar Line1,Open] M[MFC1,50,50]"));
}

void TestE2ESim::mixture()
{
    QCOMPARE(ask("Client>Kestrune.Line1 GetNowGas"), QString("Kestrune.Line1>Client @GetNowGas 50 N2"));
    QCOMPARE(ask("Client>Kestrune.Line1 GetGas"), QString("Kestrune.Line1>Client @GetGas 50 N2"));
    QCOMPARE(ask("Client>Kestrune.MFC1 GetNowGas"), QString("Kestrune.MFC1>Client @GetNowGas 50 N2"));
}

void TestE2ESim::purge()
{
    QCOMPARE(ask("Client>Kestrune.Line1 SetPurge 2"), QString("Kestrune.Line1>Client Ok:"));
    QVERIFY(sim.waitForLine("<- Kestrune: Kestrune.1>MBox.c1 SetValue 100"));
    QVERIFY(client.waitForLine("Kestrune.MFC1>Client _ChangedValue 100", 20000));
    QCOMPARE(ask("Client>Kestrune.Line1 GetNowGas"), QString("Kestrune.Line1>Client @GetNowGas 100 N2"));
}

void TestE2ESim::refusedAndUnknownRequests()
{
    // Ar may open only while no N2 flows: the valve refuses, the answer
    // reports the flow all the same, and nothing is switched for Ar.
    QCOMPARE(ask("Client>Kestrune.Line1 SetNewGas Ar 10"), QString("Kestrune.Line1>Client Ok: 10"));
    QVERIFY(!panelLines().contains("Kestrune.2>VBox ChOn ch2"));
    QCOMPARE(ask("Client>Kestrune.Line1 SetNewGas H2 10"),
             QString("Kestrune.Line1>Client Er:this channel cannot flow the gas [H2]"));
    QCOMPARE(ask("Client>Kestrune.Line1 SetNewGas"), QString("Kestrune.Line1>Client Er:Less parameters"));
    QCOMPARE(ask("Client>Kestrune.Line1 SetPurge"), QString("Kestrune.Line1>Client Er:Less parameters"));
    // No answer at all: the next answer is the one to the Stat after them.
    client.send("Client>Kestrune.Line1 IsBusy");
    client.send("Client>Kestrune.Line1 GetMinFlow");
    client.send("Client>Kestrune.Nobody GetNowGas");
    client.send("Client>Kestrune.Line1 setnewgas N2 1");
    // 10 at purge 2: the device is set to 20 while the flow still falls.
    const QString stat = ask("Client>Kestrune.MFC1 Stat");
    QVERIFY2(stat.startsWith("Kestrune.MFC1>Client @Stat V[N2 Main,Open] V[Ar Main,Close]  M[MFC1,20,"),
             qPrintable(stat));
    QCOMPARE(panel.state(), QProcess::Running);
}

void TestE2ESim::filesOfTheSession()
{
    QFile record(dir.filePath("Kestrune-" + QDate::currentDate().toString("yyyyMMdd") + ".log"));
    QVERIFY(record.open(QIODevice::ReadOnly));
    const QStringList rows = QString::fromUtf8(record.readAll()).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(rows.value(0), QString("#Time\tMFC1\tN2 Main\tAr Main\tN2 Purge\tN2,Ar Line1"));
    static const QRegularExpression row("^\\d+(\\t[0-9.e+-]+){5}\\t# \\d\\d/\\d\\d/\\d\\d \\d\\d\\.\\d\\d\\.\\d\\d\\.\\d+$");
    for (const QString &r : rows.mid(1))
        QVERIFY2(row.match(r).hasMatch(), qPrintable(r));
    QVERIFY(rows.mid(1).filter(QRegularExpression("^\\d+\\t100\\t1\\t0\\t1\\t1\\t")).size() >= 1);

    QFile log(dir.filePath("log.log"));
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(log.readAll());
    QVERIFY(text.contains(" : Setting a condition to Open:: for Ar Main : [Valve N2 Main]:[0], \n"));
    QVERIFY(text.contains(" : Valv [Ar Main] : checking a condition to Open [[Valve N2 Main]:[0], ] : is [0]\n"));
}

QTEST_GUILESS_MAIN(TestE2ESim)
#include "tst_e2e_sim.moc"
