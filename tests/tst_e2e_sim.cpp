// The built panel against the stand-in server and hardware, driven over the bus as operators' scripts drive it.
#include "bus/tmsg.h"
#include "support/buspeer.h"
#include "support/simprocess.h"

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

void writeFile(const QString &path, const QByteArray &text)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(text);
}

} // namespace

class TestE2ESim : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void statusRouteAndPurge();
    void refusedAndUnknownRequests();
    void filesOfTheSession();

private:
    // Sends a request and returns the first line after it that is no event.
    QString ask(const QString &request);

    QTemporaryDir dir;
    SimProcess sim;
    QProcess panel;
    BusPeer client;
};

void TestE2ESim::initTestCase()
{
    writeFile(dir.filePath("Kestrune.key"), "alpha\nbeta\ngamma\n");
    writeFile(dir.filePath("sim.cfg"), plant);
    QVERIFY2(sim.start({"-c", dir.filePath("sim.cfg"), "--keys", dir.filePath("Kestrune.key")}),
             qPrintable(sim.errorText()));
    writeFile(dir.filePath("plant.cfg"), plant + "TELSO_IP 127.0.0.1\nTELSO_PORT " + QByteArray::number(sim.port()) + "\n");

    panel.setWorkingDirectory(dir.path());
    panel.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    panel.start(SimProcess::binary("kestrune"), {"-c", "plant.cfg", "-e"});
    QVERIFY(panel.waitForStarted(10000));

    // The last line of the synchronisation at login.
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
    const bool answered = QTest::qWaitFor([&] {
        for (const QString &line : client.lines().mid(before)) {
            TMsg msg;
            if (msg.parse(line) != TMsg::Event)
                return !(answer = line).isEmpty();
        }
        return false;
    }, 10000);
    return answered ? answer : QStringLiteral("<no answer>");
}

void TestE2ESim::statusRouteAndPurge()
{
    QCOMPARE(ask("Client>Kestrune Stat"),
             QString("Kestrune>Client @Stat V[N2 Main,Close] V[Ar Main,Close] V[N2 Purge,Open] "
                     "V[N2,Ar Line1,Close] M[MFC1,0,0]"));
    QCOMPARE(ask("Client>Kestrune.Line1 Stat"),
             QString("Kestrune.Line1>Client @Stat V[N2 Main,Close] V[Ar Main,Close]  M[MFC1,0,0] "
                     "V[N2,Ar Line1,Close]"));

    QVERIFY(ask("Client>System flgon Kestrune.MFC1").contains("flgon"));
    QCOMPARE(ask("Client>Kestrune.Line1 SetNewGas N2 50"), QString("Kestrune.Line1>Client Ok: 50"));
    QVERIFY(client.waitForLine("Kestrune.MFC1>Client _ChangedValue 50", 20000));
    QCOMPARE(ask("Client>Kestrune Stat"),
             QString("Kestrune>Client @Stat V[N2 Main,Open] V[Ar Main,Close] V[N2 Purge,Open] "
                     "V[N2,Ar Line1,Open] M[MFC1,50,50]"));
    QCOMPARE(ask("Client>Kestrune.Line1 GetGas"), QString("Kestrune.Line1>Client @GetGas 50 N2"));

    QCOMPARE(ask("Client>Kestrune.Line1 SetPurge 2"), QString("Kestrune.Line1>Client Ok:"));
    QVERIFY(sim.waitForLine("<- Kestrune: Kestrune.1>MBox.c1 SetValue 100"));
    QVERIFY(client.waitForLine("Kestrune.MFC1>Client _ChangedValue 100", 20000));
    QCOMPARE(ask("Client>Kestrune.MFC1 GetNowGas"), QString("Kestrune.MFC1>Client @GetNowGas 100 N2"));
}

void TestE2ESim::refusedAndUnknownRequests()
{
    // Ar may open only while no N2 flows: the answer reports the flow all the same, but Ar stays shut.
    QCOMPARE(ask("Client>Kestrune.Line1 SetNewGas Ar 10"), QString("Kestrune.Line1>Client Ok: 10"));
    QVERIFY(!sim.hasLine("<- Kestrune: Kestrune.2>VBox ChOn ch2"));
    QCOMPARE(ask("Client>Kestrune.Line1 SetNewGas"), QString("Kestrune.Line1>Client Er:Less parameters"));
    QCOMPARE(ask("Client>Kestrune.Line1 SetPurge"), QString("Kestrune.Line1>Client Er:Less parameters"));
    // No answer at all: the next answer is the one to the Stat after them.
    for (const char *request : {"Kestrune.Line1 IsBusy", "Kestrune.Line1 GetMinFlow", "Kestrune.Nobody GetNowGas",
                                "Kestrune.Line1 setnewgas N2 1"})
        client.send(QString("Client>") + request);
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
    const QRegularExpression full("^\\d+\\t100\\t1\\t0\\t1\\t1\\t# \\d\\d/\\d\\d/\\d\\d \\d\\d\\.\\d\\d\\.\\d\\d\\.\\d+$");
    QVERIFY(!rows.filter(full).isEmpty());

    QFile log(dir.filePath("log.log"));
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(log.readAll());
    QVERIFY(text.contains(QRegularExpression(
        "^\\d{6} \\d{6}\\.\\d{3} : Setting a condition to Open:: for Ar Main : \\[Valve N2 Main\\]:\\[0\\], $",
        QRegularExpression::MultilineOption)));
    QVERIFY(text.contains(" : Valv [Ar Main] : checking a condition to Open [[Valve N2 Main]:[0], ] : is [0]\n"));
}

QTEST_GUILESS_MAIN(TestE2ESim)
#include "tst_e2e_sim.moc"
