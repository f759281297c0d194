// The link to the message server: the bus client's recovery, and the main window showing it and refusing actions.
#include "bus/telso.h"
#include "diagram/gview.h"
#include "mfc/amfc.h"
#include "support/configtext.h"
#include "support/livepanel.h"
#include "support/messagecapture.h"
#include "valves/avalve.h"
#include "window/eventhistory.h"

#include <QLabel>
#include <QStatusBar>
#include <QTcpSocket>
#include <QtTest>

namespace {

// Every delay the client plans, to the nearest 10 ms, as it plans it.
void logDelays(Telso &telso, QList<int> &delays)
{
    QObject::connect(&telso, &Telso::linkChanged, &telso, [&telso, &delays] {
        if (telso.linkState() == Telso::LinkDown && telso.nextAttemptAt().isValid())
            delays << qRound(QDateTime::currentDateTime().msecsTo(telso.nextAttemptAt()) / 10.0) * 10;
    });
}

// Reddish pixels of the "disconnected" notice across the middle of the diagram.
int noticePixels(const QImage &img)
{
    return countPixels(img, QRect(0, 100, img.width(), 100),
                       [](const QColor &c) { return c.red() > 120 && c.green() < 60 && c.blue() < 60; });
}

} // namespace

class TestLink : public QObject
{
    Q_OBJECT

private slots:
    void recoversAndStartsOver()
    {
        TempWorkDir dir;
        FakeServer server;
        Telso telso("127.0.0.1", "1", "Kestrune", "Kestrune");
        telso.setReconnectDelay(20);
        QList<int> delays;
        logDelays(telso, delays);
        QSignalSpy ready(&telso, &Telso::ready);
        telso.connectToServer();
        // The client tries again by itself, waiting longer each time.
        QTRY_VERIFY_WITH_TIMEOUT(delays.size() >= 3 && telso.nextAttemptAt().isValid(), 10000);
        QCOMPARE(delays.mid(0, 3), (QList<int>{20, 40, 80}));
        // Switched off while an attempt waits, the client makes no more.
        const qint64 due = QDateTime::currentDateTime().msecsTo(telso.nextAttemptAt());
        QSignalSpy changes(&telso, &Telso::linkChanged);
        telso.setReconnectDelay(0);
        QVERIFY(!QTest::qWaitFor([&] { return !changes.isEmpty(); }, int(due) + 300));
        telso.setReconnectDelay(20);
        telso.port = server.portText();
        QVERIFY(telso.connectToServer() && ready.wait(10000));

        // Once the server has sent more than its greeting the first delay applies again, and nothing
        // sent while down is kept.
        delays.clear();
        const QDateTime before = QDateTime::currentDateTime().addMSecs(-1);
        QSignalSpy arrived(telso.socket, &QTcpSocket::readyRead);
        server.send("X>Kestrune _Foo");
        QVERIFY(arrived.wait(10000));
        server.disconnectClient();
        QTRY_COMPARE_WITH_TIMEOUT(delays, QList<int>{20}, 10000);
        QVERIFY(telso.lostAt() >= before);
        QVERIFY(!telso.sendCommand("1", "Dev", "ChOn ch1"));
        QVERIFY(ready.wait(10000));
        QVERIFY(!telso.lostAt().isValid());
        QVERIFY(telso.sendCommand("2", "Dev", "IsOn ch2"));
        QTRY_COMPARE_WITH_TIMEOUT(server.lines(), QStringList{"Kestrune.2>Dev IsOn ch2"}, 10000);

        // Long delays grow to 30 s at most; the attempts are started here at once.
        delays.clear();
        telso.setReconnectDelay(16000);
        telso.port = "1";
        server.disconnectClient();
        for (qsizetype i = 1; i < 3; ++i) {
            QTRY_COMPARE_WITH_TIMEOUT(delays.size(), i, 10000);
            QVERIFY(telso.connectToServer());
        }
        QTRY_COMPARE_WITH_TIMEOUT(delays, (QList<int>{16000, 30000, 30000}), 10000);
    }

    void operatorActionsRefused_data()
    {
        QTest::addColumn<QString>("action");
        for (const char *action : {"valve button", "diagram double click", "MFC set point", "Stop All", "timers"})
            QTest::newRow(action) << action;
    }

    void operatorActionsRefused()
    {
        QFETCH(QString, action);
        TempWorkDir dir;
        loadConfig(dir, "TELSO_RECONNECT 0\nVALVE 1 0 N2 1 L1 Dev ch1 50 50 5 10\nVALVE 2 1 Ar 1 L2 Dev ch2\n"
                        "MFC 1 0 N2 1 M1 MF c1\n");
        Body body;
        QTRY_COMPARE_WITH_TIMEOUT(body.linkText(), QString("Cannot connect to localhost:1; no further attempts"),
                                  10000);
        auto *v1 = static_cast<aValve *>(body.findNode(1, aNode::Valve));
        auto *v2 = static_cast<aValve *>(body.findNode(2, aNode::Valve));
        v2->showStat(true); // as the hardware last reported it
        auto *mfc = static_cast<aMFC *>(body.findNode(1, aNode::MFC));
        const auto rows = [&] { return dir.read(body.recordFileName(QDate::currentDate())).count('\n'); };
        const auto before = rows();
        if (action == "valve button") {
            QTest::mouseClick(v1->findChild<QPushButton *>("B"), Qt::LeftButton);
        } else if (action == "diagram double click") {
            body.diagram()->setFixedSize(400, 300);
            body.diagram()->grab();
            QTest::mouseDClick(body.diagram(), Qt::LeftButton, Qt::NoModifier, QPoint(200, 150));
        } else if (action == "MFC set point") {
            QTest::keyClicks(mfc->findChild<QLineEdit *>("NewSetPoint"), "50");
            QTest::mouseClick(mfc->findChild<QPushButton *>("UpdateSetPoint"), Qt::LeftButton);
        } else if (action == "Stop All") {
            QTest::mouseClick(body.findChild<QPushButton *>("StopAll"), Qt::LeftButton);
        } else { // timed actions coming due are logged instead of sent
            v1->setTimeToOpen(0.001);
            v2->setTimeToClose(0.001);
            for (const auto &[what, word] :
                 {std::pair{"N2 L1] : time to open", "opening"}, {"Ar L2] : time to close", "closing"}}) {
                const QString line = QString(" : Valv [%1 came while not connected to the server; nothing was sent\n");
                QTRY_VERIFY_WITH_TIMEOUT(dir.read("log.log").contains(line.arg(what).toUtf8()), 10000);
                const QString skipped = QString("Timed %1 skipped: not connected to the server").arg(word);
                const auto &events = body.eventHistory()->events();
                QVERIFY(std::any_of(events.begin(), events.end(), [&](const auto &e) { return e.text == skipped; }));
            }
        }
        QCOMPARE(body.statusBar()->currentMessage(),
                 QString(action == "timers" ? "" : "Not connected: nothing was sent"));
        QVERIFY(!v1->isOn() && v2->isOn());
        QCOMPARE(mfc->settingSV, 0.0);
        QCOMPARE(rows(), before);
        // Every panel, not only the diagram, shows that what it says may be stale.
        QVERIFY(v1->findChild<QPushButton *>("B")->toolTip().startsWith("Not connected to the server"));
        QVERIFY(mfc->findChild<QLabel *>("OCStat")->styleSheet().contains("dashed"));
        const auto labels = body.statusBar()->findChildren<QLabel *>();
        QVERIFY(std::any_of(labels.begin(), labels.end(),
                            [&](QLabel *l) { return l->isVisible() && l->text() == body.linkText(); }));
    }

    // A refused login is no login: no synchronisation, the waits keep growing, the server's words
    // are shown; so is a key file that gives no key.
    void refusedLogin_data()
    {
        QTest::addColumn<QByteArray>("greeting");
        QTest::addColumn<bool>("closes");
        QTest::addColumn<QByteArray>("keys"); // null: no key file
        QTest::addColumn<QString>("link");
        QTest::addColumn<QString>("key");
        QTest::newRow("refusal") << QByteArray("Login refused: wrong key\n") << false << QByteArray()
                                 << "Login to 127.0.0.1:%1 failed: Login refused: wrong key; next attempt at "
                                 << "Key file Kestrune.key not found: logging in with an empty key";
        QTest::newRow("refusal, no further attempts")
            << QByteArray("Login refused: busy\n") << false << QByteArray("k\n")
            << "Login to 127.0.0.1:%1 failed: Login refused: busy; no further attempts" << QString();
        QTest::newRow("closed at once") << QByteArray("Welcome\n") << true << QByteArray(" \n") << "Connection lost at "
                                        << "Key file Kestrune.key holds no key: logging in with an empty key";
    }

    void refusedLogin()
    {
        QFETCH(QByteArray, greeting);
        QFETCH(bool, closes);
        QFETCH(QByteArray, keys);
        QFETCH(QString, link);
        QFETCH(QString, key);
        TempWorkDir dir;
        if (!keys.isNull())
            dir.write("Kestrune.key", keys);
        FakeServer server;
        server.setGreeting(greeting, closes);
        const bool retries = !link.endsWith("attempts");
        loadConfig(dir, "TELSO_IP 127.0.0.1\nTELSO_PORT " + server.portText().toUtf8() + "\nTELSO_RECONNECT " +
                            (retries ? "0.05" : "0") + "\nVALVE 1 0 N2 1 L1 Dev ch1\n");
        Body body;
        QList<int> delays;
        logDelays(*body.busClient(), delays);
        QTRY_VERIFY_WITH_TIMEOUT(retries ? delays.size() >= 3 : body.linkText().endsWith("attempts"), 10000);
        // 50, 100, 200 ms less the time the window takes to show each; a login would start over at 50.
        QVERIFY2(!retries || (delays[1] > 50 && delays[2] > 100), qPrintable(QString::number(delays.value(1))));
        QVERIFY2(body.linkText().startsWith(link.arg(server.port())), qPrintable(body.linkText()));
        QVERIFY(closes || server.lines().isEmpty());
        QCOMPARE(body.keyText(), key);
        const auto shown = [&](const QLabel *label) { return label->text() == key && label->isVisibleTo(&body); };
        const auto labels = body.statusBar()->findChildren<QLabel *>();
        QVERIFY(key.isEmpty() || std::any_of(labels.cbegin(), labels.cend(), shown));
    }

    // A server that stops reading and answering: the timed close that comes due is not sent once the server
    // has been silent for a moment, the link is dropped within the link timeout after the valve's question,
    // and comes back with the server.
    void stalledServer()
    {
        MessageCapture capture;
        LivePanel p("TELSO_RECONNECT 0.05\nLINK_TIMEOUT 3\nVALVE 1 0 N2 1 L1 Dev ch1\nTIME_TO_CLOSE VALVE 1 0.02\n");
        aValve *valve = p.valve();
        QVERIFY(p.server.waitForLines(2));
        QSignalSpy answered(p.body->busClient(), &Telso::AnsIsOn);
        p.server.send("Dev>Kestrune.1 @IsOn ch1 0");
        QVERIFY(answered.wait(10000));
        QElapsedTimer since;
        since.start();
        QTest::mouseClick(valve->findChild<QPushButton *>("B"), Qt::LeftButton); // 1.2 s to its timed close
        QVERIFY(p.server.waitForLines(3));
        qint64 stalledAfter = -1; // seen as it happens: the next attempt follows within 50 ms
        QObject watch;
        bool upWhenSkipped = false;
        connect(valve, &aValve::timedAction, &watch, [&] { upWhenSkipped = p.body->busClient()->isLoggedIn(); });
        connect(p.body->busClient(), &Telso::linkChanged, &watch, [&] {
            if (stalledAfter < 0 && p.body->linkText().startsWith("Server not responding since "))
                stalledAfter = since.elapsed();
        });
        p.server.setReading(false);
        QTRY_VERIFY_WITH_TIMEOUT(stalledAfter >= 0, 10000);
        QVERIFY2(stalledAfter < 1200 + 3000 + 1000, qPrintable(QString::number(stalledAfter)));
        QTRY_VERIFY_WITH_TIMEOUT(p.dir.read("log.log").contains("Valv [N2 L1] : time to close came while the server "
                                                                "was not answering; nothing was sent"),
                                 10000);
        QVERIFY(valve->isOn() && upWhenSkipped);
        QVERIFY(capture.contains("no answer from the server for 3000 ms, connection dropped"));
        p.server.setReading(true);
        QTRY_COMPARE_WITH_TIMEOUT(p.body->linkText(), QString("Logged in as Kestrune"), 10000);
        QVERIFY(p.server.waitForLines(2));
        QCOMPARE(p.server.lines().filter("ChOff"), QStringList());
    }

    // Each login synchronises once and follows the hardware as it is then; requests are answered once
    // however often the link came back; dropped connections leave no socket behind.
    void dropsAndLogins()
    {
        LivePanel p("TELSO_RECONNECT 0.02\nVALVE 1 0 N2 1 L1 Dev ch1\n");
        const auto fds = [] { return QDir("/proc/self/fd", {}, {}, QDir::AllEntries | QDir::System).count(); };
        uint baseline = 0;
        for (int i = 0; i < 14; ++i) {
            QTRY_VERIFY_WITH_TIMEOUT(p.body->busClient()->isLoggedIn(), 10000);
            QCOMPARE(p.next(2), (QStringList{"Kestrune.1>System flgon Dev", "Kestrune.1>Dev IsOn ch1"}));
            p.server.send(QString("Dev>Kestrune.1 @IsOn ch1 %1").arg(i % 2));
            QTRY_COMPARE_WITH_TIMEOUT(p.body->findNode(1, aNode::Valve)->isOn(), i % 2 == 1, 10000);
            baseline = i == 1 ? fds() : baseline;
            if (i < 13) {
                p.server.disconnectClient();
                QTRY_VERIFY_WITH_TIMEOUT(!p.body->busClient()->isLoggedIn(), 10000);
            }
        }
        p.server.send("C>Kestrune Stat");
        p.server.send("D>Kestrune Stat");
        QCOMPARE(p.next(2), (QStringList{"Kestrune>C @Stat V[N2 L1,Open]", "Kestrune>D @Stat V[N2 L1,Open]"}));
        QTRY_VERIFY_WITH_TIMEOUT(qAbs(int(fds()) - int(baseline)) <= 3, 10000);
    }

    // A question to a device starts the wait for the server's next line; a command does not.
    void questionsAwaitAnswers()
    {
        TempWorkDir dir;
        FakeServer server;
        Telso telso(QString(), QString(), "Kestrune", "Kestrune");
        QVERIFY(loginTelso(telso, server));
        telso.setLinkTimeout(200);
        const auto down = [&telso] { return telso.linkState() == Telso::LinkDown; };
        QVERIFY(telso.sendCommand("1", "Dev", "ChOn ch1") && telso.sendCommand("1", "Dev", "SetValue 5"));
        QVERIFY(!QTest::qWaitFor(down, 800));
        for (const char *question : {"IsOn ch1", "GetValue", "GetSettingValue"}) {
            QVERIFY(!down() || loginTelso(telso, server));
            QVERIFY2(telso.sendCommand("1", "Dev", question) && QTest::qWaitFor(down, 10000), question);
        }
    }

    void diagramAndStatusShowTheLink()
    {
        LivePanel p("TELSO_RECONNECT 0\nVALVE 1 0 \"\" 1 L Dev ch 50 50 5 10\n");
        p.server.setChallengeOnConnect(false); // the client connects from the event loop, after this
        QVERIFY(p.server.waitForClient());
        QCOMPARE(p.body->linkText(), QString("Connecting to 127.0.0.1:%1...").arg(p.server.port()));
        QImage img = p.diagramImage();
        // Greyed: the closed valve's top edge loses its colour.
        QVERIFY(img.pixelColor(200, 120).hslSaturation() < 100 && img.pixelColor(200, 120).lightness() < 250);
        QVERIFY(noticePixels(img) > 0);

        p.server.sendRaw("0\n");
        QTRY_VERIFY_WITH_TIMEOUT(p.body->busClient()->isLoggedIn(), 10000);
        img = p.diagramImage();
        QCOMPARE(img.pixelColor(200, 120), QColor(170, 150, 0));
        QCOMPARE(noticePixels(img), 0);

        p.server.disconnectClient();
        const QRegularExpression lost("^Connection lost at \\d\\d:\\d\\d:\\d\\d; no further attempts$");
        QTRY_VERIFY2_WITH_TIMEOUT(lost.match(p.body->linkText()).hasMatch(), qPrintable(p.body->linkText()), 10000);
        QVERIFY(noticePixels(p.diagramImage()) > 0);
    }
};

QTEST_MAIN(TestLink)
#include "tst_link.moc"
