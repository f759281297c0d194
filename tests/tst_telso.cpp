#include "bus/telso.h"
#include "support/fakeserver.h"
#include "support/messagecapture.h"
#include "support/tempworkdir.h"

#include <QSignalSpy>
#include <QtTest>

class TestTelso : public QObject
{
    Q_OBJECT

private slots:
    void login_data();
    void login();
};

void TestTelso::login_data()
{
    QTest::addColumn<QByteArray>("keyFile");
    QTest::addColumn<QByteArray>("challenge");
    QTest::addColumn<QString>("answer");

    QTest::newRow("3 mod 2, blank line skipped") << QByteArray("alpha\n\nbeta\n") << QByteArray("3") << "Kestrune beta";
    QTest::newRow("not a number") << QByteArray("alpha\nbeta\n") << QByteArray("") << "Kestrune alpha";
}

void TestTelso::login()
{
    QFETCH(QByteArray, keyFile);
    QFETCH(QByteArray, challenge);
    QFETCH(QString, answer);

    TempWorkDir dir;
    dir.write(QStringLiteral("Kestrune.key"), keyFile);
    FakeServer server;
    server.setChallenge(challenge);
    Telso telso(QString(), QString(), QStringLiteral("Kestrune"), QStringLiteral("Kestrune"));
    QVERIFY(loginTelso(telso, server));
    QCOMPARE(server.loginLine(), answer);
    QCOMPARE(telso.state, int(Telso::LoggedIn));
}

QTEST_GUILESS_MAIN(TestTelso)
#include "tst_telso.moc"
