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

namespace {

QString panelTable(const BaselineFigures &baseline, const PanelFigures &panel)
{
    const QList<PlantFigures> &plants = panel.plants;
    QStringList header{panel.name};
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
    QString out = line(header);
    for (const QStringList &r : rows)
        out += line(r);

    const DiamondFigures &d = panel.diamond;
    if (d.layers > 0) {
        out += QStringLiteral("%1-layer diamond (%2 junctions): ").arg(d.layers).arg(d.plant.junctions);
        if (!d.startupMs.isEmpty())
            out += QStringLiteral("start-up to synchronised %1 ms (%2 runs)")
                       .arg(number(d.startupMedianMs, 0))
                       .arg(d.startupMs.size());
        if (!d.pausesMs.isEmpty())
            out += QStringLiteral(", repaint after a valve change %1 ms (median of %2)")
                       .arg(number(d.pauseMedianMs, 1))
                       .arg(d.pausesMs.size());
        out += (d.error.isEmpty() ? QString() : QStringLiteral(" FAILED: ") + d.error) + QLatin1Char('\n');
    }
    const CheckFigures &c = panel.check;
    if (c.plant.valves > 0) {
        out += QStringLiteral("-check of %1 valves (%2 nodes): ").arg(c.plant.valves).arg(c.plant.nodes);
        if (!c.runsMs.isEmpty())
            out += QStringLiteral("%1 ms (%2 runs)").arg(number(c.medianMs, 0)).arg(c.runsMs.size());
        out += (c.error.isEmpty() ? QString() : QStringLiteral(" FAILED: ") + c.error) + QLatin1Char('\n');
    }
    return out;
}

QString target(const QString &text, bool met)
{
    return QStringLiteral("  %1, %2\n").arg(text, verdict(met));
}

QString targetsText(const BaselineFigures &baseline, const QList<PanelFigures> &panels)
{
    const PanelFigures &now = panels.last();
    const PanelFigures *before = panels.size() > 1 ? &panels.first() : nullptr;
    const auto ok = [](const PlantFigures *p) { return p && p->error.isEmpty(); };
    const PlantFigures *p100 = plantOf(now.plants, 100);
    const PlantFigures *p1000 = plantOf(now.plants, 1000);
    const PlantFigures *p5000 = plantOf(now.plants, 5000);
    QString out = QStringLiteral("\nTargets (%1)\n").arg(now.name);
    if (ok(p1000) && baseline.requestsPerSecond > 0) {
        const double ratio = 100.0 * p1000->requestsPerSecond / baseline.requestsPerSecond;
        out += target(QStringLiteral("1,000 nodes at least 40 % of the bare client: %1 %").arg(number(ratio, 1)),
                      ratio >= 40);
    }
    if (ok(p100) && ok(p1000)) {
        const double g = growth(*p100, *p1000);
        out += target(QStringLiteral("cost growth from 100 to 1,000 nodes at most 0.1 of linear: %1").arg(number(g, 3)),
                      g <= 0.1);
    }
    if (ok(p1000) && baseline.p50Ms > 0) {
        const double times = p1000->p50Ms / baseline.p50Ms;
        out +=
            target(QStringLiteral("p50 latency at 1,000 nodes within 2x the bare client's: %1x").arg(number(times, 2)),
                   times <= 2);
    }
    if (ok(p100))
        out += target(QStringLiteral("100 nodes p99 under 1 ms with background: %1 ms").arg(number(p100->p99Ms, 3)),
                      p100->p99Ms < 1);
    if (ok(p1000)) {
        out += target(
            QStringLiteral("1,000 nodes synchronised within 300 ms: %1 ms").arg(number(p1000->startupMedianMs, 0)),
            p1000->startupMedianMs <= 300);
        const PlantFigures *was = before ? plantOf(before->plants, 1000) : nullptr;
        const double limit = ok(was) ? was->residentMB : 94.7;
        out += target(QStringLiteral("1,000 nodes resident no higher than %1 MB: %2 MB")
                          .arg(number(limit, 1), number(p1000->residentMB, 1)),
                      p1000->residentMB <= limit);
    }
    if (ok(p5000))
        out += target(QStringLiteral("5,000 nodes synchronised within 1.5 s under 300 MB: %1 ms, %2 MB")
                          .arg(number(p5000->startupMedianMs, 0), number(p5000->residentMB, 1)),
                      p5000->startupMedianMs <= 1500 && p5000->residentMB < 300);
    const DiamondFigures &d = now.diamond;
    if (d.error.isEmpty() && !d.pausesMs.isEmpty())
        out += target(QStringLiteral("%1-layer diamond synchronised under 1 s, repainted under 50 ms: %2 ms, %3 ms")
                          .arg(d.layers)
                          .arg(number(d.startupMedianMs, 0), number(d.pauseMedianMs, 1)),
                      d.startupMedianMs < 1000 && d.pauseMedianMs < 50);
    const CheckFigures &c = now.check;
    if (c.error.isEmpty() && !c.runsMs.isEmpty())
        out += target(
            QStringLiteral("-check of %1 valves under 0.5 s: %2 ms").arg(c.plant.valves).arg(number(c.medianMs, 0)),
            c.medianMs < 500);
    for (const PlantFigures &p : now.plants) {
        if (p.error.isEmpty())
            out += target(QStringLiteral("%1 nodes at least 5,000 recorded _ChangedValue/s: %2/s")
                              .arg(p.plant.nodes)
                              .arg(number(p.recordsPerSecond, 0)),
                          p.recordsPerSecond >= 5000);
    }
    for (const PanelFigures &panel : panels) {
        for (const PlantFigures &p : panel.plants) {
            if (!p.error.isEmpty())
                out += QStringLiteral("  %1, %2 nodes: FAILED: %3\n").arg(panel.name).arg(p.plant.nodes).arg(p.error);
        }
    }
    if (!baseline.error.isEmpty())
        out += QStringLiteral("  bare client: FAILED: %1\n").arg(baseline.error);
    return out;
}

QJsonObject plantJson(const BaselineFigures &baseline, const QList<PlantFigures> &plants, qsizetype i)
{
    const PlantFigures &p = plants.at(i);
    QJsonArray runs;
    for (double ms : p.startupMs)
        runs << ms;
    QJsonObject o{
        {"nodes", p.plant.nodes},
        {"valves", p.plant.valves},
        {"mfcs", p.plant.mfcs},
        {"junctions", p.plant.junctions},
        {"startupRunsMs", runs},
        {"startupMedianMs", p.startupMedianMs},
        {"residentMB", p.residentMB},
        {"requests", p.requests},
        {"requestsPerSecond", p.requestsPerSecond},
        {"ratioToBaseline", baseline.requestsPerSecond > 0 ? p.requestsPerSecond / baseline.requestsPerSecond : 0.0},
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
    return o;
}

QJsonArray numbers(const QList<double> &values)
{
    QJsonArray a;
    for (double v : values)
        a << v;
    return a;
}

} // namespace

QString tableText(const MachineInfo &machine, const BaselineFigures &baseline, const QList<PanelFigures> &panels)
{
    QString out = QStringLiteral("Kestrune benchmark: %1, %2 cores, %3 GB, Linux %4, Qt %5, load %6\n")
                      .arg(machine.cpu)
                      .arg(machine.cores)
                      .arg(machine.memoryGB, 0, 'f', 1)
                      .arg(machine.kernel, machine.qt, machine.loadAverage);
    for (const PanelFigures &panel : panels)
        out += QLatin1Char('\n') + panelTable(baseline, panel);
    if (!panels.isEmpty())
        out += targetsText(baseline, panels);
    return out;
}

QJsonObject toJson(const MachineInfo &machine, const BaselineFigures &baseline, const QList<PanelFigures> &panels)
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
    QJsonArray builds;
    for (const PanelFigures &panel : panels) {
        QJsonArray list;
        for (qsizetype i = 0; i < panel.plants.size(); ++i)
            list << plantJson(baseline, panel.plants, i);
        QJsonObject diamond{{"layers", panel.diamond.layers},
                            {"junctions", panel.diamond.plant.junctions},
                            {"startupRunsMs", numbers(panel.diamond.startupMs)},
                            {"startupMedianMs", panel.diamond.startupMedianMs},
                            {"repaintPausesMs", numbers(panel.diamond.pausesMs)},
                            {"repaintMedianMs", panel.diamond.pauseMedianMs}};
        if (!panel.diamond.error.isEmpty())
            diamond.insert("error", panel.diamond.error);
        QJsonObject check{{"valves", panel.check.plant.valves},
                          {"nodes", panel.check.plant.nodes},
                          {"runsMs", numbers(panel.check.runsMs)},
                          {"medianMs", panel.check.medianMs}};
        if (!panel.check.error.isEmpty())
            check.insert("error", panel.check.error);
        builds << QJsonObject{
            {"name", panel.name}, {"binary", panel.binary}, {"plants", list}, {"diamond", diamond}, {"check", check}};
    }
    return QJsonObject{{"machine", m},
                       {"backgroundLinesPerSecond", Measurements::backgroundRate},
                       {"baseline", base},
                       {"builds", builds}};
}
