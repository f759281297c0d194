// The bus client lets go of a dropped socket once its output went out, and of its last one with itself.
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
    void socketsGo()
    {
        TempWorkDir dir;
        FakeServer server;
        auto *telso = new Telso(QString(), QString(), "Kestrune", "Kestrune");
        QVERIFY(loginTelso(*telso, server));
        QPointer<QTcpSocket> old = telso->socket;
        QVERIFY(telso->sendCommand("V1", "Dev1", "ChOff ch1"));
        telso->disConnect();
        QTRY_COMPARE_WITH_TIMEOUT(server.lines(), QStringList{"Kestrune.V1>Dev1 ChOff ch1"}, 10000);
        QTRY_VERIFY_WITH_TIMEOUT(old.isNull(), 10000);
        QVERIFY(loginTelso(*telso, server)); // a new socket, and it works
        QPointer<QTcpSocket> socket = telso->socket;
        delete telso;
        QVERIFY(socket.isNull());
    }
};

QTEST_GUILESS_MAIN(TestTeardown)
#include "tst_teardown.moc"
