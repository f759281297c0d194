#include "measurements.h"

#include "benchserver.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <memory>

#include <unistd.h>

namespace {

QElapsedTimer &benchClock()
{
    static QElapsedTimer timer;
    if (!timer.isValid())
        timer.start();
    return timer;
}

qint64 residentKiB(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).simplified().split(' ').value(0).toLongLong();
    }
    return -1;
}

// Processor time the process has used, user and system, in milliseconds.
double cpuMs(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray text = stat.readAll();
    // The fields after the command name, which may hold blanks.
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    return (fields.value(11).toDouble() + fields.value(12).toDouble()) * 1000.0 / double(sysconf(_SC_CLK_TCK));
}

double percentile(QList<double> values, double p)
{
    if (values.isEmpty())
        return 0;
    std::sort(values.begin(), values.end());
    const qsizetype i = qMin(values.size() - 1, qsizetype(p * double(values.size() - 1) + 0.5));
    return values.at(i);
}

// Many lines in one buffer, with the end of each, so that any run of them
// goes out in one write.
struct LineBatch
{
    QByteArray bytes;
    QList<qsizetype> ends;

    void add(const QByteArray &line)
    {
        bytes += line;
        bytes += '\n';
        ends << bytes.size();
    }
    qsizetype count() const { return ends.size(); }
    QByteArray slice(qsizetype from, qsizetype to) const
    {
        const qsizetype begin = from == 0 ? 0 : ends.at(from - 1);
        return bytes.mid(begin, ends.at(to - 1) - begin);
    }
};

// Pipelined requests to the line names, Stat and GetNowGas in turn.
LineBatch requests(const QStringList &lineNames, qsizetype count, const QByteArray &sender)
{
    LineBatch batch;
    for (qsizetype i = 0; i < count; ++i) {
        batch.add(sender + '.' + QByteArray::number(i) + ">Kestrune." + lineNames.at(i % lineNames.size()).toLatin1() +
                  (i % 2 ? " GetNowGas" : " Stat"));
    }
    return batch;
}

// Requests in flight: enough that neither side waits for the other, even
// when the scheduler lets each run only now and then on a busy machine.
constexpr qsizetype pipelineWindow = 20000;

// Sends the batch keeping at most window lines unanswered and returns the
// seconds until answered() counts them all; -1 on time-out.
double pump(BenchServer &server, const LineBatch &batch, qsizetype window, const std::function<qint64()> &answered)
{
    const qint64 base = answered();
    qsizetype next = 0;
    const qint64 t0 = benchClock().nsecsElapsed();
    const bool done = waitUntil(
        [&] {
            const qint64 got = answered() - base;
            if (next < batch.count() && next - got < window / 2) {
                const qsizetype to = qMin(batch.count(), qsizetype(got) + window);
                server.send(batch.slice(next, to));
                next = to;
            }
            return got >= batch.count();
        },
        300000);
    return done ? double(benchClock().nsecsElapsed() - t0) / 1e9 : -1;
}

struct Latency
{
    int probes = 0;
    double p50Ms = 0;
    double p99Ms = 0;
    bool ok = false;
};

// One request at a time, each a millisecond after the previous answer,
// while lines addressed to nobody the panel knows stream in at a steady
// rate. Times are taken from the write to the answer's arrival.
const QList<QByteArray> &noiseBackground()
{
    static const QList<QByteArray> background{
        "Other.dev7>Kestrune _ChangedValue 5.5", "Client.a>Kestrune.Nobody Stat", "Dev9>Kestrune.3 @IsOn ch1 1",
        "Client.b>Kestrune.Nobody GetNowGas",    "Other.dev8>Kestrune _Foo 1",    "Dev9.c1>Kestrune @GetValue 3",
    };
    return background;
}

Latency probeLatency(BenchServer &server, const QString &lineName, int probes,
                     const QList<QByteArray> &background = noiseBackground(),
                     int rate = Measurements::backgroundRate)
{
    qint64 backgroundSent = 0;
    const qint64 start = benchClock().nsecsElapsed();
    QTimer stream;
    stream.setTimerType(Qt::PreciseTimer);
    QObject::connect(&stream, &QTimer::timeout, [&] {
        const qint64 due = (benchClock().nsecsElapsed() - start) * rate / 1000000000;
        QByteArray bytes;
        for (; backgroundSent < due; ++backgroundSent)
            bytes += background.at(backgroundSent % background.size()) + '\n';
        if (!bytes.isEmpty())
            server.send(bytes);
    });
    stream.start(1);

    QList<double> times;
    QByteArray tag;
    qint64 sentAt = 0;
    bool waiting = false;
    server.onLine = [&](QByteArrayView line) {
        if (waiting && line.indexOf(tag) >= 0) {
            times << double(benchClock().nsecsElapsed() - sentAt) / 1e6;
            waiting = false;
        }
    };
    Latency result;
    result.ok = true;
    for (int i = 0; i < probes && result.ok; ++i) {
        const qint64 after = benchClock().nsecsElapsed() + 1000000;
        waitUntil([&] { return benchClock().nsecsElapsed() >= after; }, 1000);
        tag = ">Probe." + QByteArray::number(i) + ' ';
        const QByteArray line = "Probe." + QByteArray::number(i) + ">Kestrune." + lineName.toLatin1() +
                                (i % 2 ? " GetNowGas\n" : " Stat\n");
        waiting = true;
        sentAt = benchClock().nsecsElapsed();
        server.send(line);
        result.ok = waitUntil([&] { return !waiting; }, 10000);
    }
    stream.stop();
    server.onLine = nullptr;
    result.probes = int(times.size());
    result.p50Ms = percentile(times, 0.50);
    result.p99Ms = percentile(times, 0.99);
    return result;
}

// Writes the plant with the server's address and a key file into dir.
QString writePlant(const QTemporaryDir &dir, const QByteArray &config, quint16 port)
{
    const QString path = dir.filePath(QStringLiteral("plant.cfg"));
    QFile cfg(path);
    cfg.open(QIODevice::WriteOnly | QIODevice::Truncate);
    cfg.write(config + "TELSO_IP 127.0.0.1\nTELSO_PORT " + QByteArray::number(port) + '\n');
    cfg.close();
    QFile keys(dir.filePath(QStringLiteral("Kestrune.key")));
    keys.open(QIODevice::WriteOnly | QIODevice::Truncate);
    keys.write("key\n");
    keys.close();
    return path;
}

void startPanel(QProcess &panel, const QString &binary, const QTemporaryDir &dir, const QByteArray &config,
                quint16 port, const QStringList &extra = {})
{
    writePlant(dir, config, port);
    panel.setWorkingDirectory(dir.path());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    panel.setProcessEnvironment(env);
    // Its debug output (one line per event sent, per unknown word) would
    // measure the terminal; it goes nowhere, as in a service.
    panel.setStandardOutputFile(QProcess::nullDevice());
    panel.setStandardErrorFile(QProcess::nullDevice());
    panel.start(binary, QStringList{QStringLiteral("-c"), QStringLiteral("plant.cfg"), QStringLiteral("-e")} + extra);
}

void stopProcess(QProcess &process)
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.kill();
    process.waitForFinished(10000);
}

qint64 recordRows(const QTemporaryDir &dir)
{
    qint64 rows = 0;
    const QStringList files = QDir(dir.path()).entryList({QStringLiteral("Kestrune-[0-9]*.log")}, QDir::Files, QDir::Name);
    for (const QString &name : files) {
        QFile file(dir.filePath(name));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        while (!file.atEnd()) {
            const QByteArray line = file.readLine();
            if (!line.startsWith('#') && line.trimmed().size() > 0)
                ++rows;
        }
    }
    return rows;
}

// Enough work for about a second or two at the rates this machine reaches,
// and at least a few tenths of a second at every size: a shorter run
// measures whatever else the machine did in that moment.
qsizetype requestCount(int nodes)
{
    return nodes <= 10 ? 200000 : 100000;
}

qsizetype eventCount(int nodes)
{
    return nodes <= 100 ? 20000 : 10000;
}

struct Startups
{
    QList<double> ms;
    QList<double> residentMB;
    QString error;
};

// Starts the panel up to runs times, each against a fresh server, and times
// it from the process start to the last line it sends its hardware after the
// login. A slow run is not repeated. The last run stays up.
Startups timeStartups(QProcess &panel, const QString &binary, const QTemporaryDir &dir, const GeneratedPlant &plant,
                      int runs, std::unique_ptr<BenchServer> &server)
{
    Startups s;
    for (int run = 0; run < runs; ++run) {
        stopProcess(panel);
        server = std::make_unique<BenchServer>(true);
        const qint64 t0 = benchClock().nsecsElapsed();
        startPanel(panel, binary, dir, plant.config, server->port());
        if (!waitUntil([&] { return server->lines() >= plant.syncLines; }, 300000)) {
            s.error = QStringLiteral("the panel did not synchronise (%1 of %2 lines)")
                          .arg(server->lines())
                          .arg(plant.syncLines);
            stopProcess(panel);
            return s;
        }
        s.ms << double(benchClock().nsecsElapsed() - t0) / 1e6;
        s.residentMB << double(residentKiB(panel.processId())) / 1024.0;
        if (s.ms.last() > Measurements::slowRunMs)
            break;
    }
    return s;
}

// Requests to the program itself, each sent when the answer to the one
// before has come, for windowMs after a change: the longest wait for an
// answer is the time the panel spent on the change and the repaint it
// causes, whenever the toolkit does that. -1 when an answer does not come.
double longestPause(BenchServer &server, const QByteArray &change, int windowMs)
{
    QByteArray tag;
    bool waiting = false;
    server.onLine = [&](QByteArrayView line) {
        if (waiting && line.indexOf(tag) >= 0)
            waiting = false;
    };
    int asked = 0;
    qint64 sentAt = 0;
    const auto ask = [&](const QByteArray &first) {
        const QByteArray sender = "Pause." + QByteArray::number(asked++);
        tag = '>' + sender + ' ';
        waiting = true;
        sentAt = benchClock().nsecsElapsed();
        server.send(first + sender + ">Kestrune Stat\n");
    };
    const qint64 start = benchClock().nsecsElapsed();
    double longest = 0;
    ask(change + '\n');
    for (;;) {
        if (!waitUntil([&] { return !waiting; }, 300000)) {
            longest = -1;
            break;
        }
        const qint64 now = benchClock().nsecsElapsed();
        longest = qMax(longest, double(now - sentAt) / 1e6);
        if (now - start > qint64(windowMs) * 1000000)
            break;
        ask(QByteArray());
    }
    server.onLine = nullptr;
    return longest;
}

} // namespace

Measurements::Measurements(const QString &panelBinary) : panelBinary(panelBinary) {}

BaselineFigures Measurements::baseline()
{
    BaselineFigures f;
    BenchServer server(false);
    QProcess echo;
    echo.setProcessChannelMode(QProcess::ForwardedChannels);
    echo.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--echo"), QString::number(server.port())});
    if (!waitUntil([&] { return server.hasClient(); }, 20000)) {
        f.error = QStringLiteral("the bare client did not connect");
        stopProcess(echo);
        return f;
    }
    const QStringList names{QStringLiteral("Line0"), QStringLiteral("Line1")};
    const LineBatch warmup = requests(names, 20000, "Warm");
    pump(server, warmup, pipelineWindow, [&] { return server.lines(); });
    const LineBatch batch = requests(names, 2000000, "Bench");
    const double seconds = pump(server, batch, pipelineWindow, [&] { return server.lines(); });
    f.requests = batch.count();
    f.requestsPerSecond = seconds > 0 ? double(batch.count()) / seconds : 0;
    const Latency latency = probeLatency(server, QStringLiteral("Line0"), 2000);
    f.probes = latency.probes;
    f.p50Ms = latency.p50Ms;
    f.p99Ms = latency.p99Ms;
    if (seconds < 0 || !latency.ok)
        f.error = QStringLiteral("the bare client stopped answering");
    stopProcess(echo);
    return f;
}

PlantFigures Measurements::plant(int nodes)
{
    PlantFigures f;
    f.plant = generatePlant(nodes);
    QTemporaryDir dir;
    std::unique_ptr<BenchServer> server;
    QProcess panel;

    const Startups startups = timeStartups(panel, panelBinary, dir, f.plant, startupRuns, server);
    f.startupMs = startups.ms;
    f.startupMedianMs = percentile(startups.ms, 0.5);
    f.residentMB = percentile(startups.residentMB, 0.5);
    if (!startups.error.isEmpty()) {
        f.error = startups.error;
        return f;
    }

    // Only the replies count: a large plant is still taking in its devices'
    // answers to the synchronisation for a while, and announcing them.
    qint64 replies = 0;
    server->onLine = [&](QByteArrayView line) {
        const qsizetype g = line.indexOf('>');
        if (g >= 0 && (line.sliced(g + 1).startsWith("Warm.") || line.sliced(g + 1).startsWith("Bench.")))
            ++replies;
    };
    const LineBatch warmup = requests(f.plant.lineNames, 2000, "Warm");
    pump(*server, warmup, pipelineWindow, [&] { return replies; });
    const LineBatch batch = requests(f.plant.lineNames, requestCount(nodes), "Bench");
    const qint64 before = replies;
    const double seconds = pump(*server, batch, pipelineWindow, [&] { return replies; });
    server->onLine = nullptr;
    f.requests = batch.count();
    if (seconds < 0 || replies - before != batch.count()) {
        f.error = QStringLiteral("requests went unanswered");
        stopProcess(panel);
        return f;
    }
    f.requestsPerSecond = double(batch.count()) / seconds;
    f.microsPerRequest = seconds * 1e6 / double(batch.count());

    const Latency latency = probeLatency(*server, f.plant.lineNames.at(f.plant.lineNames.size() / 2), 2000);
    f.probes = latency.probes;
    f.p50Ms = latency.p50Ms;
    f.p99Ms = latency.p99Ms;
    if (!latency.ok) {
        f.error = QStringLiteral("a latency probe went unanswered");
        stopProcess(panel);
        return f;
    }

    // Record cost: flows from the devices, each re-announced once by its
    // MFC after the row is written.
    qint64 announced = 0;
    server->onLine = [&](QByteArrayView line) {
        if (line.indexOf(QByteArrayView(">System _Ev_ChangedValue ")) >= 0)
            ++announced;
    };
    LineBatch events;
    for (qsizetype i = 0; i < eventCount(nodes); ++i) {
        events.add(f.plant.mfcDevices.at(i % f.plant.mfcDevices.size()).toLatin1() + ">Kestrune _ChangedValue " +
                   QByteArray::number(i % 50) + ".5");
    }
    const qint64 rowsBefore = recordRows(dir);
    const double recordSeconds = pump(*server, events, 2000, [&] { return announced; });
    server->onLine = nullptr;
    f.events = events.count();
    f.rowsWritten = recordRows(dir) - rowsBefore;
    if (recordSeconds < 0)
        f.error = QStringLiteral("flow reports went unannounced");
    else
        f.recordsPerSecond = double(events.count()) / recordSeconds;
    if (f.rowsWritten != f.events)
        f.error = QStringLiteral("%1 record rows for %2 flow reports").arg(f.rowsWritten).arg(f.events);
    stopProcess(panel);
    return f;
}

DiamondFigures Measurements::diamond(int layers)
{
    DiamondFigures f;
    f.layers = layers;
    f.plant = generateDiamond(layers);
    QTemporaryDir dir;
    std::unique_ptr<BenchServer> server;
    QProcess panel;

    const Startups startups = timeStartups(panel, panelBinary, dir, f.plant, startupRuns, server);
    f.startupMs = startups.ms;
    f.startupMedianMs = percentile(startups.ms, 0.5);
    if (!startups.error.isEmpty()) {
        f.error = startups.error;
        return f;
    }
    // The N2 source opens and closes in turn; every change repaints the
    // whole diagram.
    for (int i = 0; i < 6; ++i) {
        const double pause = longestPause(*server, QByteArray("DBox>Kestrune @IsOn ch1 ") + (i % 2 ? "0" : "1"), 200);
        if (pause < 0) {
            f.error = QStringLiteral("the panel stopped answering after a change");
            break;
        }
        f.pausesMs << pause;
        if (pause > slowRunMs)
            break;
    }
    f.pauseMedianMs = percentile(f.pausesMs, 0.5);
    stopProcess(panel);
    return f;
}

CheckFigures Measurements::check(int valves)
{
    CheckFigures f;
    f.plant = generatePlant(5 * ((valves + 2) / 3));
    QTemporaryDir dir;
    writePlant(dir, f.plant.config, 6057);
    for (int run = 0; run < 3; ++run) {
        QProcess check;
        check.setWorkingDirectory(dir.path());
        check.setProcessChannelMode(QProcess::MergedChannels);
        const qint64 t0 = benchClock().nsecsElapsed();
        check.start(panelBinary, {QStringLiteral("-check"), QStringLiteral("-c"), QStringLiteral("plant.cfg")});
        if (!check.waitForFinished(300000)) {
            f.error = QStringLiteral("-check did not finish");
            stopProcess(check);
            break;
        }
        f.runsMs << double(benchClock().nsecsElapsed() - t0) / 1e6;
        if (check.exitStatus() != QProcess::NormalExit || check.exitCode() != 0) {
            f.error = QStringLiteral("-check failed: %1").arg(QString::fromLocal8Bit(check.readLine().trimmed()));
            break;
        }
        if (f.runsMs.last() > slowRunMs)
            break;
    }
    f.medianMs = percentile(f.runsMs, 0.5);
    return f;
}

void Measurements::trendLive(TrendFigures &f, int rounds)
{
    const GeneratedPlant plant = generatePlant(500);
    f.liveMfcs = plant.mfcs;
    f.liveReportsPerSecond = plant.mfcs * 5;
    // Every MFC reports a new flow five times a second.
    QList<QByteArray> reports;
    for (int step = 0; step < 20; ++step) {
        for (const QString &device : plant.mfcDevices)
            reports << device.toLatin1() + ">Kestrune _ChangedValue " + QByteArray::number(10 + step) + ".5";
    }
    QList<double> without;
    QList<double> with;
    QList<double> cpuWithout;
    QList<double> cpuWith;
    // Taken in turns, so that the load of the machine falls on both alike.
    for (int run = 0; run < 2 * rounds; ++run) {
        const bool window = run % 2;
        QTemporaryDir dir;
        BenchServer server(true);
        QProcess panel;
        startPanel(panel, panelBinary, dir, plant.config, server.port(),
                   window ? QStringList{QStringLiteral("-trends")} : QStringList());
        if (!waitUntil([&] { return server.lines() >= plant.syncLines; }, 60000)) {
            f.liveError = QStringLiteral("the panel did not synchronise");
            stopProcess(panel);
            return;
        }
        const double cpu0 = cpuMs(panel.processId());
        const qint64 t0 = benchClock().nsecsElapsed();
        const Latency latency = probeLatency(server, plant.lineNames.at(plant.lineNames.size() / 2), 2000, reports,
                                             f.liveReportsPerSecond);
        const double load = (cpuMs(panel.processId()) - cpu0) / (double(benchClock().nsecsElapsed() - t0) / 1e9);
        stopProcess(panel);
        (window ? cpuWith : cpuWithout) << load;
        if (!latency.ok) {
            f.liveError = QStringLiteral("a latency probe went unanswered");
            return;
        }
        (window ? with : without) << latency.p99Ms;
    }
    f.liveP99WithoutMs = percentile(without, 0.5);
    f.liveP99WithMs = percentile(with, 0.5);
    f.liveCpuWithoutMs = percentile(cpuWithout, 0.5);
    f.liveCpuWithMs = percentile(cpuWith, 0.5);
}

int runEchoClient(quint16 port)
{
    QTcpSocket socket;
    QObject::connect(&socket, &QTcpSocket::readyRead, [&socket] {
        while (socket.canReadLine()) {
            const QByteArray line = socket.readLine();
            // The reply goes from the destination back to the sender.
            const qsizetype gt = line.indexOf('>');
            const qsizetype blank = line.indexOf(' ', gt);
            if (gt < 0 || blank < 0)
                continue;
            socket.write(line.mid(gt + 1, blank - gt - 1) + '>' + line.left(gt) + " @Ok\n");
        }
    });
    QObject::connect(&socket, &QTcpSocket::disconnected, qApp, &QCoreApplication::quit);
    socket.connectToHost(QHostAddress::LocalHost, port);
    return QCoreApplication::exec();
}
