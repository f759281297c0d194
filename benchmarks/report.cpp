#include "report.h"

#include <QFile>
#include <QJsonArray>
#include <QSysInfo>
#include <QThread>

namespace {

QString firstValue(const QString &path, const QByteArray &key)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    for (const QByteArray &line : file.readAll().split('\n')) {
        if (line.startsWith(key)) {
            const qsizetype colon = line.indexOf(':');
            return QString::fromUtf8(line.mid(colon + 1).trimmed());
        }
    }
    return QString();
}

// Cost per request from one plant size to the next, against the growth in
// nodes: 1 or less means no worse than linear.
double growth(const PlantFigures &from, const PlantFigures &to)
{
    if (from.microsPerRequest <= 0 || to.plant.nodes <= 0)
        return 0;
    return (to.microsPerRequest / from.microsPerRequest) / (double(to.plant.nodes) / double(from.plant.nodes));
}

const PlantFigures *plantOf(const QList<PlantFigures> &plants, int nodes)
{
    for (const PlantFigures &p : plants) {
        if (p.plant.nodes == nodes)
            return &p;
    }
    return nullptr;
}

QString number(double v, int decimals)
{
    return QString::number(v, 'f', decimals);
}

QString verdict(bool met)
{
    return met ? QStringLiteral("met") : QStringLiteral("MISSED");
}

} // namespace

MachineInfo describeMachine()
{
    MachineInfo m;
    m.cpu = firstValue(QStringLiteral("/proc/cpuinfo"), "model name");
    m.cores = QThread::idealThreadCount();
    m.memoryGB =
        firstValue(QStringLiteral("/proc/meminfo"), "MemTotal").split(' ').value(0).toDouble() / 1024.0 / 1024.0;
    m.kernel = QSysInfo::kernelVersion();
    m.qt = QString::fromLatin1(qVersion());
    QFile load(QStringLiteral("/proc/loadavg"));
    if (load.open(QIODevice::ReadOnly))
        m.loadAverage = QString::fromLatin1(load.readAll()).section(QLatin1Char(' '), 0, 2);
    return m;
}

QString tableText(const MachineInfo &machine, const BaselineFigures &baseline, const QList<PlantFigures> &plants)
{
    QStringList header{QStringLiteral("")};
    for (const PlantFigures &p : plants)
        header << QStringLiteral("%1 nodes").arg(p.plant.nodes);
    header << QStringLiteral("bare client");

    QList<QStringList> rows;
    auto row = [&](const QString &title, const std::function<QString(const PlantFigures &)> &cell,
                   const QString &base) {
        QStringList r{title};
        for (const PlantFigures &p : plants)
            r << (p.error.isEmpty() ? cell(p) : QStringLiteral("-"));
        r << base;
        rows << r;
    };
    row(
        QStringLiteral("valves / MFCs / junctions"),
        [](const PlantFigures &p) {
            return QStringLiteral("%1/%2/%3").arg(p.plant.valves).arg(p.plant.mfcs).arg(p.plant.junctions);
        },
        QString());
    row(
        QStringLiteral("start-up to synchronised, median of 5 (ms)"),
        [](const PlantFigures &p) { return number(p.startupMedianMs, 0); }, QString());
    row(
        QStringLiteral("resident memory after start-up (MB)"),
        [](const PlantFigures &p) { return number(p.residentMB, 1); }, QString());
    row(
        QStringLiteral("pipelined Stat + GetNowGas replies/s"),
        [](const PlantFigures &p) { return number(p.requestsPerSecond, 0); }, number(baseline.requestsPerSecond, 0));
    row(
        QStringLiteral("ratio to the bare client (%)"),
        [&](const PlantFigures &p) {
            return baseline.requestsPerSecond > 0 ? number(100.0 * p.requestsPerSecond / baseline.requestsPerSecond, 2)
                                                  : QString();
        },
        QStringLiteral("100"));
    row(
        QStringLiteral("cost per request (us)"), [](const PlantFigures &p) { return number(p.microsPerRequest, 2); },
        baseline.requestsPerSecond > 0 ? number(1e6 / baseline.requestsPerSecond, 3) : QString());
    {
        QStringList r{QStringLiteral("cost growth / node growth from the size before")};
        for (qsizetype i = 0; i < plants.size(); ++i) {
            const bool known = i > 0 && plants.at(i).error.isEmpty() && plants.at(i - 1).error.isEmpty();
            r << (known ? number(growth(plants.at(i - 1), plants.at(i)), 2) : QString());
        }
        r << QString();
        rows << r;
    }
    row(
        QStringLiteral("p50 latency, 10k lines/s background (ms)"),
        [](const PlantFigures &p) { return number(p.p50Ms, 3); }, number(baseline.p50Ms, 3));
    row(
        QStringLiteral("p99 latency, 10k lines/s background (ms)"),
        [](const PlantFigures &p) { return number(p.p99Ms, 3); }, number(baseline.p99Ms, 3));
    row(
        QStringLiteral("_ChangedValue turned into record rows/s"),
        [](const PlantFigures &p) { return number(p.recordsPerSecond, 0); }, QString());
    row(
        QStringLiteral("record rows written / flow reports sent"),
        [](const PlantFigures &p) { return QStringLiteral("%1/%2").arg(p.rowsWritten).arg(p.events); }, QString());

    QList<int> widths(header.size(), 0);
    for (const QStringList &r : rows + QList<QStringList>{header}) {
        for (int i = 0; i < r.size(); ++i)
            widths[i] = qMax(widths[i], int(r.at(i).size()));
    }
    auto line = [&](const QStringList &r) {
        QString text = r.at(0).leftJustified(widths[0]);
        for (int i = 1; i < r.size(); ++i)
            text += QStringLiteral("  ") + r.at(i).rightJustified(widths[i]);
        return text + QLatin1Char('\n');
    };

    QString out = QStringLiteral("Kestrune benchmark: %1, %2 cores, %3 GB, Linux %4, Qt %5, load %6\n\n")
                      .arg(machine.cpu)
                      .arg(machine.cores)
                      .arg(machine.memoryGB, 0, 'f', 1)
                      .arg(machine.kernel, machine.qt, machine.loadAverage);
    out += line(header);
    for (const QStringList &r : rows)
        out += line(r);

    out += QStringLiteral("\nTargets\n");
    const PlantFigures *p10 = plantOf(plants, 10);
    const PlantFigures *p100 = plantOf(plants, 100);
    const PlantFigures *p1000 = plantOf(plants, 1000);
    if (p1000 && p1000->error.isEmpty()) {
        out += QStringLiteral("  1,000 nodes synchronised within 1 s: %1 ms, %2\n")
                   .arg(number(p1000->startupMedianMs, 0), verdict(p1000->startupMedianMs < 1000));
        out += QStringLiteral("  1,000 nodes under 150 MB resident: %1 MB, %2\n")
                   .arg(number(p1000->residentMB, 1), verdict(p1000->residentMB < 150));
    }
    if (p100 && p100->error.isEmpty() && baseline.requestsPerSecond > 0) {
        const double ratio = 100.0 * p100->requestsPerSecond / baseline.requestsPerSecond;
        out += QStringLiteral("  100 nodes at least 5 % of the bare client: %1 %, %2\n")
                   .arg(number(ratio, 2), verdict(ratio >= 5));
        out += QStringLiteral("  100 nodes p99 under 1 ms with background: %1 ms, %2\n")
                   .arg(number(p100->p99Ms, 3), verdict(p100->p99Ms < 1));
    }
    if (p10 && p100 && p1000 && p10->error.isEmpty() && p100->error.isEmpty() && p1000->error.isEmpty()) {
        const double g1 = growth(*p10, *p100);
        const double g2 = growth(*p100, *p1000);
        out += QStringLiteral("  cost per request no worse than linear in nodes: x%1 then x%2 of linear, %3\n")
                   .arg(number(g1, 2), number(g2, 2), verdict(g1 <= 1.1 && g2 <= 1.1));
    }
    for (const PlantFigures &p : plants) {
        if (p.error.isEmpty())
            out += QStringLiteral("  %1 nodes at least 5,000 recorded _ChangedValue/s: %2/s, %3\n")
                       .arg(p.plant.nodes)
                       .arg(number(p.recordsPerSecond, 0), verdict(p.recordsPerSecond >= 5000));
        else
            out += QStringLiteral("  %1 nodes: FAILED: %2\n").arg(p.plant.nodes).arg(p.error);
    }
    if (!baseline.error.isEmpty())
        out += QStringLiteral("  bare client: FAILED: %1\n").arg(baseline.error);
    return out;
}

QJsonObject toJson(const MachineInfo &machine, const BaselineFigures &baseline, const QList<PlantFigures> &plants)
{
    QJsonObject m{{"cpu", machine.cpu},       {"cores", machine.cores}, {"memoryGB", machine.memoryGB},
                  {"kernel", machine.kernel}, {"qt", machine.qt},       {"loadAverage", machine.loadAverage}};
    QJsonObject base{{"requests", baseline.requests},
                     {"requestsPerSecond", baseline.requestsPerSecond},
                     {"latencyProbes", baseline.probes},
                     {"p50Ms", baseline.p50Ms},
                     {"p99Ms", baseline.p99Ms}};
    if (!baseline.error.isEmpty())
        base.insert("error", baseline.error);
    QJsonArray list;
    for (qsizetype i = 0; i < plants.size(); ++i) {
        const PlantFigures &p = plants.at(i);
        QJsonArray runs;
        for (double ms : p.startupMs)
            runs << ms;
        QJsonObject o{{"nodes", p.plant.nodes},
                      {"valves", p.plant.valves},
                      {"mfcs", p.plant.mfcs},
                      {"junctions", p.plant.junctions},
                      {"startupRunsMs", runs},
                      {"startupMedianMs", p.startupMedianMs},
                      {"residentMB", p.residentMB},
                      {"requests", p.requests},
                      {"requestsPerSecond", p.requestsPerSecond},
                      {"ratioToBaseline",
                       baseline.requestsPerSecond > 0 ? p.requestsPerSecond / baseline.requestsPerSecond : 0.0},
                      {"microsecondsPerRequest", p.microsPerRequest},
                      {"latencyProbes", p.probes},
                      {"p50Ms", p.p50Ms},
                      {"p99Ms", p.p99Ms},
                      {"flowReports", p.events},
                      {"recordRowsWritten", p.rowsWritten},
                      {"recordedChangedValuePerSecond", p.recordsPerSecond}};
        if (i > 0)
            o.insert("costGrowthOverNodeGrowth", growth(plants.at(i - 1), p));
        if (!p.error.isEmpty())
            o.insert("error", p.error);
        list << o;
    }
    return QJsonObject{{"machine", m},
                       {"backgroundLinesPerSecond", Measurements::backgroundRate},
                       {"baseline", base},
                       {"plants", list}};
}
