// The shipped kestrune binary against a loopback message server, driven over the bus as other clients drive it.
#include "support/fakeserver.h"

#include <QtTest>

namespace {

const QByteArray plant = R"(# a small plant
NAME_ON_TELSO   Kestrune
KEY_FILE_NAME   Kestrune
VALVE 1 0 N2 1.0 Main  VBox ch1 20 10 4 4
VALVE 2 1 Ar 1.4 Main  VBox ch2 40 10 4 4
VALVE 5 2 "N2,Ar" 1.0 Line1 VBox ch5 30 80 4 4
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

class TestE2EPanel : public QObject
{
    Q_OBJECT

private slots:
    void wholeSession();
};

void TestE2EPanel::wholeSession()
{
    const QString binary = qEnvironmentVariable("KESTRUNE_BIN_DIR") + "/kestrune";
    QVERIFY2(QFile::exists(binary), qPrintable(binary));

    QTemporaryDir dir;
    FakeServer server;
    server.setChallenge("4");
    QFile cfg(dir.filePath("plant.cfg")), keys(dir.filePath("Kestrune.key"));
    QVERIFY(cfg.open(QIODevice::WriteOnly) && keys.open(QIODevice::WriteOnly));
    cfg.write(plant + "TELSO_IP 127.0.0.1\nTELSO_PORT " + server.portText().toLatin1() + "\n");
    keys.write("k0\n\nk1\nk2\n"); // the blank line is no key
    cfg.close();
    keys.close();

    QProcess panel;
    panel.setWorkingDirectory(dir.path());
    panel.start(binary, {"-c", "plant.cfg", "-e"});
    QVERIFY(panel.waitForStarted(10000));

    QVERIFY(server.waitForLogin(20000));
    QCOMPARE(server.loginLine(), QString("Kestrune k1")); // 4 mod 3 keys

    // Each expected run of lines comes in exactly this order and nothing else.
    auto expect = [&server](const QStringList &lines) {
        server.waitForLines(int(lines.size()));
        const QStringList got = server.lines();
        server.clearLines();
        return QTest::qCompare(got, lines, "sent", "expected", __FILE__, __LINE__); // shows the difference
    };
    QVERIFY(expect({"Kestrune.1>System flgon VBox", "Kestrune.1>VBox IsOn ch1", "Kestrune.2>System flgon VBox",
                    "Kestrune.2>VBox IsOn ch2", "Kestrune.5>System flgon VBox", "Kestrune.5>VBox IsOn ch5",
                    "Kestrune.1>System flgon MBox", "Kestrune.1>System flgon MBox.c1", "Kestrune.1>MBox.c1 GetValue",
                    "Kestrune.1>MBox.c1 GetSettingValue"}));

    // The hardware answers: valve 2 is open, the MFC holds 0.
    server.send("VBox>Kestrune.2 @IsOn ch2 1");
    server.send("MBox.c1>Kestrune.1 @GetSettingValue 0");
    server.send("Client.t>Kestrune Stat");
    QVERIFY(expect({"Kestrune>Client.t @Stat V[N2 Main,Close] V[Ar Main,Open] V[N2,Ar Line1,Close] M[MFC1,0,0]"}));

    server.send("Client.t>Kestrune.Line1 SetNewGas N2 50");
    QVERIFY(expect({"Kestrune.5>VBox ChOn ch5", "Kestrune.Line1>System _EvNewStat Valve 1",
                    "Kestrune.MFC1>System _EvNewStat MFC Set Point 50", "Kestrune.1>MBox.c1 SetRunMode 1",
                    "Kestrune.1>MBox.c1 SetValue 50", "Kestrune.1>VBox ChOn ch1", "Kestrune.Line1>Client.t Ok: 50"}));

    // The device confirms and reports its flow; Ar is open too, so the line carries half of each.
    server.send("MBox.c1>Kestrune _ChangedSettingValue 50");
    server.send("MBox.c1>Kestrune _ChangedValue 49.5");
    server.send("Client.t>Kestrune.Line1 GetNowGas");
    server.send("Client.t>Kestrune.Line1 IsBusy");
    server.send("Client.t>Kestrune.Line1 SetNewGas H2 5");
    QVERIFY(expect({"Kestrune.MFC1>System _Ev_ChangedValue 49.5", "Kestrune.Line1>Client.t @GetNowGas 24.75 N2 24.75 Ar",
                    "Kestrune.Line1>Client.t Er:this channel cannot flow the gas [H2]"}));

    QCOMPARE(panel.state(), QProcess::Running);
    panel.kill();
    panel.waitForFinished(10000);
}

QTEST_GUILESS_MAIN(TestE2EPanel)
#include "tst_e2e_panel.moc"
