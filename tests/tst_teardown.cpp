// What the bus client lets go of: a dropped connection's socket goes once it
// has closed, after what was written to it went out; the client takes its
// socket along when it goes.
#include "bus/telso.h"
#include "support/fakeserver.h"
#include "support/tempworkdir.h"

#include <QPointer>
#include <QTcpSocket>
#include <QtTest>

class TestTeardown : public QObject
{
    Q_OBJECT

private slots:
    void droppedSocketDeliversThenGoes();
    void clientTakesItsSocket();
};

void TestTeardown::droppedSocketDeliversThenGoes()
{
    TempWorkDir dir;
    FakeServer server;
    Telso telso(QString(), QString(), QStringLiteral("Kestrune"), QStringLiteral("Kestrune"));
    QVERIFY(loginTelso(telso, server));
    QPointer<QTcpSocket> old = telso.socket;

    QVERIFY(telso.sendCommand(QStringLiteral("V1"), QStringLiteral("Dev1"), QStringLiteral("ChOff ch1")));
    telso.disConnect();
    QCOMPARE(telso.socket, nullptr);
    QVERIFY(server.waitForLines(1));
    QCOMPARE(server.lines(), QStringList{"Kestrune.V1>Dev1 ChOff ch1"});
    QTRY_VERIFY_WITH_TIMEOUT(old.isNull(), 10000);

    // A new connection is a new socket, and works.
    QSignalSpy ready(&telso, &Telso::ready);
    QVERIFY(telso.connectToServer());
    QTRY_COMPARE_WITH_TIMEOUT(ready.count(), 1, 10000);
    QVERIFY(telso.isLoggedIn());
}

void TestTeardown::clientTakesItsSocket()
{
    TempWorkDir dir;
    FakeServer server;
    auto *telso = new Telso(QString(), QString(), QStringLiteral("Kestrune"), QStringLiteral("Kestrune"));
    QVERIFY(loginTelso(*telso, server));
    QPointer<QTcpSocket> socket = telso->socket;
    delete telso;
    QVERIFY(socket.isNull());
}

QTEST_GUILESS_MAIN(TestTeardown)
#include "tst_teardown.moc"
