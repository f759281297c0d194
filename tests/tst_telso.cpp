#include "bus/telso.h"
#include "support/fakeserver.h"
#include "support/messagecapture.h"
#include "support/tempworkdir.h"

#include <QSignalSpy>
#include <QTcpSocket>
#include <QtTest>

namespace {

const QString overlong = QStringLiteral("discarding a received line longer than 4000 bytes");

// Every message signal of the client, recorded as "signal|from|cmd|params" in arrival order.
struct Recorder : QObject
{
    explicit Recorder(Telso &telso)
    {
        for (auto signal : {&Telso::AskSetNewGas, &Telso::AskSetPurge, &Telso::AskGetMinFlow, &Telso::AskGetNowGas,
                            &Telso::askStat, &Telso::AnsIsOn, &Telso::AnsGetValue, &Telso::AnsGetSettingValue,
                            &Telso::EvChangedIsOn, &Telso::EvChangedValue, &Telso::EvChangedSettingValue}) {
            const QString name = QString::fromLatin1(QMetaMethod::fromSignal(signal).name());
            connect(&telso, signal, this, [=](const TMsg &m) {
                seen << QStringList{name, m.from, m.cmd, m.params}.join('|');
            });
        }
    }
    QStringList seen;
};

struct Session
{
    // Null keys: no key file at all.
    explicit Session(const QByteArray &keys = "k1\n")
        : keyPath(keys.isNull() ? QString() : dir.write(QStringLiteral("Kestrune.key"), keys))
    {
    }
    TempWorkDir dir;
    QString keyPath; // written before the client reads it
    FakeServer server;
    Telso telso{QString(), QString(), QStringLiteral("Kestrune"), QStringLiteral("Kestrune")};
};

} // namespace

class TestTelso : public QObject
{
    Q_OBJECT

private slots:
    void login_data();
    void login();
    void receive_data();
    void receive();
    void backlogBound();
    void stallClock();
    void sendAndClose();
    void encoding_data();
    void encoding();
    void portNumber();
};

void TestTelso::login_data()
{
    QTest::addColumn<QByteArray>("keys");
    QTest::addColumn<QByteArray>("challenge"); // "|" splits it into segments that arrive one by one
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QStringList>("debug"); // what it says of the keys
    const auto row = [](const char *name, const QByteArray &keys, const QByteArray &challenge, const char *answer,
                        const QStringList &debug) { QTest::newRow(name) << keys << challenge << answer << debug; };
    const QByteArray three("alpha\n\n  beta  \ngamma\n");
    row("4 mod 3, blank line skipped", three, "4", "Kestrune beta", {"keys 3 4"});
    row("split challenge is 22", three, "2|2", "Kestrune beta", {"keys 3 22"});
    row("padded number", three, " 5 \t", "Kestrune gamma", {"keys 3 5"});
    row("not a number", three, "13x", "Kestrune alpha", {"keys 3 0"});
    row("negative", three, "-1", "Kestrune gamma", {"keys 3 -1"});
    row("empty key file", "\n \n", "5", "Kestrune ", {"keys 0 5"});
    row("no key file", QByteArray(), "5", "Kestrune ", {"Cannot open [Kestrune.key]", "keys 0 5"});
}

void TestTelso::login()
{
    QFETCH(QByteArray, keys);
    QFETCH(QByteArray, challenge);
    QFETCH(QString, answer);
    QFETCH(QStringList, debug);

    MessageCapture capture;
    Session s(keys);
    s.server.setChallengeOnConnect(false);
    s.telso.ip = "127.0.0.1";
    s.telso.port = s.server.portText();
    QVERIFY(s.telso.connectToServer() && s.server.waitForClient());
    QVERIFY(!s.telso.connectToServer()); // connected already: no second socket
    QTRY_COMPARE_WITH_TIMEOUT(int(s.telso.socket->state()), int(QAbstractSocket::ConnectedState), 10000);
    // Connected but not logged in: a line now would stand in for the login answer.
    QVERIFY(!s.telso.sendCommand("V1", "Dev1", "IsOn 1"));
    QSignalSpy arrived(s.telso.socket, &QTcpSocket::readyRead);
    const QList<QByteArray> parts = challenge.split('|');
    for (qsizetype i = 0; i + 1 < parts.size(); ++i) {
        s.server.sendRaw(parts.at(i));
        QVERIFY(arrived.wait(10000));
    }
    s.server.sendRaw(parts.last() + '\n');
    QVERIFY(s.server.waitForLogin());
    QCOMPARE(s.server.loginLine(), answer);
    QCOMPARE(capture.messages().filter(QRegularExpression("^(keys|Cannot open) ")), debug);
    QTRY_VERIFY_WITH_TIMEOUT(s.telso.isLoggedIn(), 10000);
}

void TestTelso::receive_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("emitted"); // empty: nothing
    QTest::addColumn<QStringList>("messages");
    // The dispatch table: each word with the signal it raises.
    const QStringList table = QStringLiteral("SetNewGas AskSetNewGas SetGas AskSetNewGas SetPurge AskSetPurge "
                                             "GetMinFlow AskGetMinFlow GetNowGas AskGetNowGas GetGas AskGetNowGas "
                                             "Stat askStat @IsOn AnsIsOn @GetValue AnsGetValue @GetSettingValue "
                                             "AnsGetSettingValue _ChangedIsOn EvChangedIsOn _ChangedValue "
                                             "EvChangedValue _ChangedSettingValue EvChangedSettingValue")
                                  .split(QLatin1Char(' '));
    for (qsizetype i = 0; i < table.size(); i += 2)
        QTest::newRow(qPrintable(table[i])) << ("C.p>Kestrune.L1 " + table[i] + " 3  1\n").toLatin1()
                                            << table[i + 1] + "|C.p|" + table[i] + "|3 1" << QStringList();
    const auto row = [](const char *name, const QByteArray &bytes, const QString &emitted,
                        const QStringList &messages) { QTest::newRow(name) << bytes << emitted << messages; };
    row("IsBusy and a reply word as request", "C>Kestrune IsBusy\nC>Kestrune IsOn 1\n", {},
        {"Err unknown cmd IsBusy", "Err unknown cmd IsOn"});
    row("unknown reply and event, no message", "A>B @GetGas 1\nA>B _Foo\njust words\n", {}, {});
    row("carriage return", "A>Kestrune SetPurge 2\r\n", "AskSetPurge|A|SetPurge|2", {});
    row("invalid UTF-8", "\xc3(>Kestrune GetGas \xff\xfe\n", u"AskGetNowGas|\uFFFD(|GetGas|\uFFFD\uFFFD"_qs, {});
    row("binary garbage", QByteArray("\x00\x01\xff>\x80\x00\n", 7), {}, {});
    const QByteArray stat("A>Kestrune Stat ");
    row("longest line taken", stat + QByteArray(3984, 'x') + '\n', "askStat|A|Stat|" + QString(3984, 'x'), {});
    row("one byte too long", stat + QByteArray(3985, 'x') + '\n', {}, {overlong});
    row("crafted tail", QByteArray(3999, 'x') + "Evil>Kestrune Stat\n", {}, {overlong});
    row("flood without line feed", (QByteArray(3000, 'z') + "Evil>Kestrune Stat ").repeated(8) + "\n", {}, {overlong});
}

// Each line here is followed by one that must still be dispatched; nothing is answered. Of the
// lines that come with the greeting, only the message to this program is served, after ready().
void TestTelso::receive()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, emitted);
    QFETCH(QStringList, messages);

    Session s;
    s.server.setGreeting("Welcome Kestrune\nNews: a>b c\nA>Other SetPurge 2\nG>Kestrune.L1 GetGas\n");
    Recorder rec(s.telso);
    connect(&s.telso, &Telso::ready, &rec, [&rec] { rec.seen << "ready"; });
    QVERIFY(loginTelso(s.telso, s.server));
    MessageCapture capture;
    s.server.sendRaw(bytes + "Marker>Kestrune Stat\n");
    QTRY_COMPARE_WITH_TIMEOUT(
        rec.seen.join('/'),
        "ready/AskGetNowGas|G|GetGas|/" + (emitted.isEmpty() ? "" : emitted + '/') + "askStat|Marker|Stat|", 10000);
    QCOMPARE(capture.messages(), messages);
    QVERIFY(s.server.lines().isEmpty());
}

// A server that stops reading: requests are left unread while the answers cannot go out, so the
// backlog stays near its limit, and the link is dropped as stalled.
void TestTelso::backlogBound()
{
    Session s;
    QVERIFY(loginTelso(s.telso, s.server));
    s.telso.setLinkTimeout(300);
    qint64 most = 0;
    int answered = 0;
    connect(&s.telso, &Telso::askStat, &s.telso, [&](const TMsg &m) {
        s.telso.reply(m, QString(3900, 'x'));
        most = std::max(most, s.telso.socket ? s.telso.socket->bytesToWrite() : 0);
        ++answered;
    });
    s.server.setReading(false);
    s.server.sendRaw(QByteArray("A>Kestrune Stat\n").repeated(5000)); // 20 MB of answers
    QTRY_COMPARE_WITH_TIMEOUT(s.telso.linkState(), Telso::LinkDown, 10000);
    QCOMPARE(s.telso.downReason(), Telso::DownStalled);
    QVERIFY2(most <= Telso::BacklogLimit + 4000 && answered < 5000, qPrintable(QString::number(most)));
}

// Stall detection runs from the first unanswered question, however many follow, and not at all when off.
void TestTelso::stallClock()
{
    Session s;
    QVERIFY(loginTelso(s.telso, s.server));
    QSignalSpy heard(&s.telso, &Telso::askStat);
    const auto ask = [&] { s.telso.sendCommand("V1", "Dev", "IsOn ch1"); };
    ask();
    s.server.sendRaw("A>Kestrune Stat\n");
    QVERIFY(heard.wait(10000) && s.telso.linkState() == Telso::LinkUp);
    s.telso.setLinkTimeout(300);
    QTimer asking;
    connect(&asking, &QTimer::timeout, &s.telso, ask);
    asking.start(50);
    QTRY_COMPARE_WITH_TIMEOUT(s.telso.linkState(), Telso::LinkDown, 5000);
}

void TestTelso::sendAndClose()
{
    Session s;
    Recorder rec(s.telso);
    QSignalSpy ready(&s.telso, &Telso::ready);
    QVERIFY(loginTelso(s.telso, s.server));
    TMsg msg;
    msg.parse("Client.panel>Kestrune.Line1 GetNowGas");
    s.telso.reply(msg, "@GetNowGas Ok: x");
    QVERIFY(s.telso.sendCommand("V3", "Dev1", "IsOn"));
    QVERIFY(s.telso.sendCommand("V3", "Dev1", "IsOn\nChOff", "1\r\n"));
    s.telso.sendEvent(QString(), "_ChangedValue 12.5");
    s.telso.sendEvent(u"Grüße"_qs, u"NewStat \u2713 \U0001F600"_qs);
    // The server decodes Latin-1, so these are the exact bytes.
    const QStringList expected{"Kestrune.Line1>Client.panel @GetNowGas Ok: x", "Kestrune.V3>Dev1 IsOn",
                               "Kestrune.V3>Dev1 IsOn ChOff 1  ", "Kestrune>System _Ev_ChangedValue 12.5",
                               u"Kestrune.Grüße>System _EvNewStat ? ?"_qs};
    QVERIFY(s.server.waitForLines(int(expected.size())));
    QCOMPARE(s.server.lines(), expected);

    QSignalSpy closed(&s.telso, &Telso::disconnected);
    s.server.disconnectClient();
    QVERIFY(closed.wait(10000));
    MessageCapture capture;
    msg.parse("A>Kestrune Stat");
    s.telso.reply(msg, "@Stat");
    QCOMPARE(capture.messages(), QStringList{"not logged in to the server, line dropped: Kestrune>A @Stat"});

    s.telso.disConnect();
    QVERIFY(s.telso.connectToServer());
    QTRY_COMPARE_WITH_TIMEOUT(ready.count(), 2, 10000);
    // A receiver that drops the connection stops the lines behind it.
    connect(&s.telso, &Telso::askStat, &s.telso, &Telso::disConnect);
    s.server.sendRaw("A>Kestrune Stat\nB>Kestrune Stat\n");
    QTRY_COMPARE_WITH_TIMEOUT(s.telso.socket, nullptr, 10000);
    QCOMPARE(rec.seen, QStringList{"askStat|A|Stat|"});
}

// Plain text goes out eight characters at a time; whatever needs changing
// is found wherever it lies in such a run, and what follows it is not lost.
void TestTelso::encoding_data()
{
    QTest::addColumn<QStringList>("parts");
    QTest::addColumn<QString>("wire");
    const QString run = QStringLiteral("abcdefgh");
    QTest::newRow("breaks") << QStringList{"\n" + run + "\r" + run + "1234567\n"} << " " + run + " " + run + "1234567 ";
    QTest::newRow("Latin-1") << QStringList{u"\u00e9\u00ff\u0080abcde"_qs + run} << u"\u00e9\u00ff\u0080abcde"_qs + run;
    // Outside Latin-1 with a line break's or a letter's low byte.
    QTest::newRow("wide") << QStringList{u"abcdefg\u010a\uff0d\u0161\u8041\u0100"_qs + run} << "abcdefg?????" + run;
    QTest::newRow("pair in a run") << QStringList{u"abcdefg\U0001F600abcdefg"_qs} << "abcdefg?abcdefg";
    QTest::newRow("lone low half") << QStringList{QChar(0xde00) + run} << "?" + run;
    QTest::newRow("pair split") << QStringList{run.left(7) + QChar(0xd83d), QChar(0xde00) + run} << "abcdefg?abcdefgh";
}

void TestTelso::encoding()
{
    QFETCH(QStringList, parts);
    QFETCH(QString, wire);
    Session s;
    QVERIFY(loginTelso(s.telso, s.server));
    TMsg msg;
    msg.parse("C>Kestrune.L Stat");
    s.telso.reply(msg, {parts.first(), parts.value(1)});
    QVERIFY(s.server.waitForLines(1));
    QCOMPARE(s.server.lines(), QStringList{"Kestrune.L>C " + wire});
}

void TestTelso::portNumber()
{
    // "text=port": only "0x" marks hexadecimal, only the low 16 bits count
    for (const QString &pair :
         QStringLiteral("0x17A9=6057 0X17A9=0 6057=6057 65593=57 0x10039=57 4294967353=0 =0 port=0").split(' ')) {
        const QString text = pair.section('=', 0, 0);
        QCOMPARE(text + '=' + QString::number(Telso::portNumber(text)), pair);
    }
}

QTEST_GUILESS_MAIN(TestTelso)
#include "tst_telso.moc"
