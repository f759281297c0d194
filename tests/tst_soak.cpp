// The built panel on a shared bus where any client sends anything: a long stream of mixed traffic. It must answer in
// order, keep its memory, and write exactly one record row for every change it takes.
#include "app/startup.h"
#include "support/livepanel.h"

#include <QRandomGenerator>
#include <QtTest>

#include <deque>

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool sanitized = true; // several times slower, and freed memory is held back on purpose
#else
constexpr bool sanitized = false;
#endif

// One bus name per valve and MFC: each state shown and each flow taken is one event line.
const QByteArray plant =
    "NAME_ON_TELSO Kestrune\nKEY_FILE_NAME Kestrune\nVALVE 1 0 N2 1.0 Main VBox ch1 20 10 4 4\n"
    "VALVE 2 1 Ar 1.4 Main VBox ch2 40 10 4 4\nVALVE 3 2 \"N2,Ar\" 1.0 Line1 VBox ch3 30 80 4 4\n"
    "VALVE 4 3 H2 1.0 Side VBox ch4 60 10 4 4\nMFC 1 0 N2 1.0 MFC1 MBox c1 30 55 8 6 0 0\n"
    "MFC 2 1 H2 1.0 MFC2 MBox c2 60 55 8 6 0 0\nNODE 1 - 0 J1 30 30 6 3\nCONNECT VALVE 1 NODE 1\n"
    "CONNECT VALVE 2 NODE 1\nCONNECT NODE 1 MFC 1\nCONNECT MFC 1 VALVE 3\nCONNECT VALVE 4 MFC 2\n"
    "TELSO_CH Main1 VALVE 1\nTELSO_CH Main2 VALVE 2\nTELSO_CH Line1 VALVE 3\nTELSO_CH Src4 VALVE 4\n"
    "TELSO_CH MFC1 MFC 1\nTELSO_CH Line2 MFC 2\n";

qint64 residentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    const QByteArray text = status.open(QIODevice::ReadOnly) ? status.readAll() : QByteArray();
    return text.mid(text.indexOf("VmRSS:") + 6).simplified().split(' ').value(0).toLongLong();
}

// Replies are checked in order against what is owed; change announcements are counted.
struct Watch
{
    std::deque<std::pair<QString, bool>> owed; // the whole line, or (false) its start
    QString failure;
    qint64 syncReplies = 0, valveEvents = 0, flowEvents = 0;

    void take(FakeServer &server)
    {
        const QStringList lines = server.lines();
        server.clearLines();
        for (const QString &line : lines) {
            const QString to = line.section('>', 1).section(' ', 0, 0);
            if (to == "System" || to.startsWith("VBox") || to.startsWith("MBox")) {
                valveEvents += line.contains(">System _EvNewStat Valve ");
                flowEvents += line.contains(">System _Ev_ChangedValue ");
                continue;
            }
            syncReplies += to.startsWith("Sync.");
            if (failure.isEmpty() && owed.empty())
                failure = "reply nobody asked for: " + line;
            if (!failure.isEmpty())
                continue;
            const auto [want, exact] = owed.front();
            owed.pop_front();
            if (exact ? line != want : !line.startsWith(want))
                failure = QStringLiteral("expected [%1]%2\n got [%3]").arg(want, exact ? "" : "...", line);
        }
    }
    // Without QTest::qWaitFor's fixed pauses, which would cap the rate of the stream.
    bool waitFor(FakeServer &server, const std::function<bool()> &done, int timeoutMs = 60000)
    {
        QDeadlineTimer deadline(timeoutMs);
        QTimer wake;
        wake.start(50);
        for (take(server); !done() && failure.isEmpty(); take(server)) {
            if (deadline.hasExpired())
                return false;
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
        return failure.isEmpty();
    }
};

// One line of the mixed stream from a fixed seed: the reply it must get (or none), and whether it hands an MFC a value
// from its device, which the panel takes and records (a measured flow is announced as well).
struct Line
{
    QByteArray bytes;
    QString reply;
    bool exact = false, deviceValue = false, flowReport = false;
};

QRandomGenerator mixRandom(20240806);

QByteArray pick(std::initializer_list<const char *> from)
{
    return *(from.begin() + mixRandom.bounded(int(from.size())));
}

Line mixed(qint64 i)
{
    const QByteArray me = "Soak." + QByteArray::number(i);
    const QString to = QString::fromLatin1(me);
    Line l;
    const int kind = int(mixRandom.bounded(100));
    if (kind < 10) {
        l.bytes = me + ">Kestrune Stat";
        l.reply = "Kestrune>" + to + " @Stat V[";
    } else if (kind < 26) {
        const QByteArray name = pick({"Main1", "Line1", "Src4", "MFC1", "Line2"});
        const QByteArray word = pick({"Stat", "GetNowGas", "GetGas"});
        l.bytes = me + ">Kestrune." + name + ' ' + word;
        l.reply = QStringLiteral("Kestrune.%1>%2 @%3 ").arg(QLatin1String(name), to, QLatin1String(word));
    } else if (kind < 34) {
        const bool second = mixRandom.bounded(4) == 0;
        const QByteArray name = second ? "Line2" : "Line1", gas = second ? "H2" : pick({"N2", "Ar", "Xe", ""});
        const QByteArray flow = pick({"0", "20", "50.5", "010.0", "abc", "-5", "1e3"});
        l.bytes = me + ">Kestrune." + name + ' ' + pick({"SetNewGas", "SetGas"}) + (gas.isEmpty() ? "" : ' ' + gas) +
                  ' ' + flow;
        l.reply = QStringLiteral("Kestrune.%1>%2 ").arg(QLatin1String(name), to) +
                  (gas.isEmpty() ? "Er:Less parameters"
                   : gas == "Xe" ? "Er:this channel cannot flow the gas [Xe]"
                                 : "Ok: " + QString::fromLatin1(flow));
        l.exact = true;
    } else if (kind < 38) {
        const QByteArray name = pick({"Line1", "Line2", "Main1"}), value = pick({"2", "1", "", "x"});
        l.bytes = me + ">Kestrune." + name + " SetPurge" + (value.isEmpty() ? "" : ' ' + value);
        l.reply = QStringLiteral("Kestrune.%1>%2 %3")
                      .arg(QLatin1String(name), to, QLatin1String(value.isEmpty() ? "Er:Less parameters" : "Ok:"));
        l.exact = true;
    } else if (kind < 54) { // answered by nobody
        l.bytes = pick({"$>Kestrune.Nobody Stat", "$>Kestrune.MFC1 GetMinFlow", "$>Kestrune.Line1 IsBusy",
                        "$>Kestrune Frobnicate 1 2", "$>Kestrune stat", "$>Kestrune.line1 GetNowGas",
                        "$>Kestrune.Line1 @Stat", "MBox.c1>Kestrune _Foo 1", "Dev9.c1>Kestrune _ChangedValue 5",
                        "Other.a>Kestrune.Line1 _NewStat Valve 1", "System>Kestrune.1 @flgon Ok: VBox",
                        "$>Kestrune \xc3\x28Stat", "$>Kestrune.Li\xffne1 Stat", "So\xfe\xff$>Kestrune.Nobody GetNowGas \xed\xa0\x80",
                        "", "   ", "\r", "no arrow here", ">", "Soak>"})
                      .replace('$', me);
    } else if (kind < 62) {
        l.bytes = pick({"VBox", "VBox", "VBox.x", "Other"}) + ">Kestrune." + QByteArray::number(mixRandom.bounded(1, 5)) +
                  " @IsOn" + pick({" ch1 ", " ch2 ", " ch3 ", " ch4 ", " ch5 ", " "}) + pick({"0", "1", "x", "2"});
    } else if (kind < 74) {
        const QByteArray from = pick({"MBox.c1", "MBox.c2", "MBox.c3", "MBox", "mbox.c1"});
        const QByteArray word = pick({"@GetValue", "@GetSettingValue", "_ChangedValue", "_ChangedSettingValue"});
        const QByteArray value = pick({"", "12.5", "0", "-3", "1e6", "abc", "1\xff", "nan", "1e400"});
        l.bytes = from + ">Kestrune." + pick({"1", "2", "x"}) + ' ' + word + (value.isEmpty() ? "" : ' ' + value);
        l.deviceValue = (from == "MBox.c1" || from == "MBox.c2") && !value.isEmpty();
        l.flowReport = l.deviceValue && word == "_ChangedValue";
    } else if (kind < 82) { // overlong: neither its start nor a message in its tail is taken
        l.bytes = me + ">Kestrune Stat " + QByteArray(int(mixRandom.bounded(3990, 12000)), 'x') + ' ' + me +
                  ">Kestrune Stat";
    } else if (kind < 93) {
        l.bytes.resize(int(mixRandom.bounded(1, 300)));
        for (char &c : l.bytes)
            if ((c = char(mixRandom.bounded(256))) == '\n')
                c = '>';
    } else { // answered all the same; without a sender, to nobody
        const bool nobody = mixRandom.bounded(3) == 0;
        l.bytes = nobody ? QByteArray(">Kestrune Stat") : me + ">Kestrune Stat \xff\xfe\xc0\xaf";
        l.reply = "Kestrune>" + (nobody ? QString() : to) + " @Stat V[";
    }
    l.bytes += '\n';
    return l;
}

} // namespace

class TestSoak : public QObject
{
    Q_OBJECT

private slots:
    void mixedTraffic();
};

void TestSoak::mixedTraffic()
{
    qint64 total = qEnvironmentVariableIntValue("KESTRUNE_SOAK_LINES");
    if (total <= 0)
        total = sanitized ? 50000 : 150000;
    const qint64 memoryMark = 75000;

    // Hundreds of megabytes of diagnostics under this traffic: not kept.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    limitStyleCaches(); // as the program does
    LivePanel p(plant);
    QVERIFY(p.server.waitForLogin(20000));
    // One synchronisation: two lines for each valve, four for each MFC.
    QVERIFY(p.server.waitForLines(4 * 2 + 2 * 4, 20000));
    p.server.clearLines();

    Watch w;
    qint64 sent = 0, deviceValues = 0, flowReports = 0, syncs = 0, rssAtMark = -1;
    while (sent < total) {
        QByteArray bytes;
        for (int n = 0; n < 2000 && sent < total; ++n, ++sent) {
            const Line l = mixed(sent);
            bytes += l.bytes;
            if (!l.reply.isEmpty())
                w.owed.push_back({l.reply, l.exact});
            deviceValues += l.deviceValue;
            flowReports += l.flowReport;
        }
        // Each chunk ends in a request of its own; the next chunk but one goes
        // out only when it is answered, so neither side piles up lines.
        const QByteArray chunkEnd = "Sync." + QByteArray::number(syncs++);
        w.owed.push_back({"Kestrune>" + chunkEnd + " @Stat ", false});
        p.server.sendRaw(bytes + chunkEnd + ">Kestrune Stat\n");
        const bool atMark = rssAtMark < 0 && sent >= memoryMark;
        QVERIFY2(w.waitFor(p.server, [&] { return w.syncReplies >= (atMark ? syncs : syncs - 1); }),
                 qPrintable(QStringLiteral("after %1 lines: %2").arg(sent).arg(w.failure)));
        if (atMark)
            rssAtMark = residentKiB();
    }
    QVERIFY2(w.waitFor(p.server, [&] { return w.owed.empty(); }), qPrintable(w.failure));
    const qint64 rssAtEnd = residentKiB();

    // A known state through the hardware, then the whole program and one line asked.
    p.server.sendRaw("VBox>Kestrune.1 @IsOn ch1 1\nVBox>Kestrune.2 @IsOn ch2 0\nVBox>Kestrune.3 @IsOn ch3 1\n"
                     "VBox>Kestrune.4 @IsOn ch4 0\nMBox.c1>Kestrune.1 @GetSettingValue 10\nMBox.c1>Kestrune.1 @GetValue 9.5\n"
                     "MBox.c2>Kestrune.2 @GetSettingValue 0\nMBox.c2>Kestrune.2 @GetValue 0\nFinal>Kestrune Stat\n"
                     "Final>Kestrune.Line1 Stat\nFinal>Kestrune.Line1 GetNowGas\n");
    for (const char *reply : {"Kestrune>Final @Stat V[N2 Main,Open] V[Ar Main,Close] V[N2,Ar Line1,Open] "
                              "V[H2 Side,Close] M[MFC1,10,9.5] M[MFC2,0,0]",
                              "Kestrune.Line1>Final @Stat V[N2 Main,Open] V[Ar Main,Close]  M[MFC1,10,9.5] "
                              "V[N2,Ar Line1,Open]",
                              "Kestrune.Line1>Final @GetNowGas 9.5 N2"})
        w.owed.push_back({reply, true});
    QVERIFY2(w.waitFor(p.server, [&] { return w.owed.empty(); }, 30000), qPrintable(w.failure));

    // The start-up row, one per valve state shown, one per device value; the final state brought 4 device values.
    qint64 rows = 0;
    for (const QString &name : QDir(p.dir.path()).entryList({"Kestrune-[0-9]*.log"}, QDir::Files))
        for (const QByteArray &line : p.dir.read(name).split('\n'))
            rows += !line.isEmpty() && !line.startsWith('#');
    QCOMPARE(rows, 1 + w.valveEvents + deviceValues + 4);
    QCOMPARE(w.flowEvents, flowReports);
    QVERIFY(w.valveEvents > 0 && deviceValues > 0);
    if (!sanitized && rssAtMark > 0)
        QVERIFY2(rssAtEnd - rssAtMark < 10 * 1024,
                 qPrintable(QStringLiteral("grew from %1 to %2 KiB").arg(rssAtMark).arg(rssAtEnd)));
}

QTEST_MAIN(TestSoak)
#include "tst_soak.moc"
