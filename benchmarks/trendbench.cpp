#include "trendbench.h"

#include "benchserver.h"
#include "window/trendmodel.h"
#include "window/trendwindow.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QTextStream>

#include <algorithm>
#include <ctime>
#include <random>

namespace {

double median(QList<double> v)
{
    if (v.isEmpty())
        return 0;
    std::sort(v.begin(), v.end());
    return v.at(v.size() / 2);
}

double peakResidentMB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).simplified().split(' ').value(0).toDouble() / 1024.0;
    }
    return -1;
}

constexpr int fileMfcs = 100;
constexpr int fileValves = 300;
constexpr qint64 fileRows = 2000000;

} // namespace

bool writeRecordDay(const QString &path, int mfcs, int valves, qint64 rows)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QByteArray out = "#Time";
    for (int k = 0; k < mfcs; ++k)
        out += "\tMFC" + QByteArray::number(k);
    for (int k = 0; k < valves; ++k)
        out += "\tN2 Line" + QByteArray::number(k);
    out += '\n';

    // The fields of the row, kept as one text with each field's start: a
    // row changes one field, and only what follows it moves.
    QByteArray body;
    QList<qsizetype> starts;
    QList<double> setPoints(mfcs, 0.0);
    for (int k = 0; k < mfcs + valves; ++k) {
        starts << body.size();
        body += k ? "\t0" : "0";
        if (k)
            ++starts.last();
    }
    std::mt19937 random(16);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    const qint64 dayStart = QDateTime(QDate(2026, 12, 6), QTime(0, 0)).toMSecsSinceEpoch();
    const qint64 dayMs = 24LL * 3600 * 1000;
    for (qint64 i = 0; i < rows; ++i) {
        // Nine rows in ten are flow reports, the tenth switches a valve.
        const bool flow = unit(random) < 0.9 || valves == 0;
        const int k = flow ? int(unit(random) * mfcs) : mfcs + int(unit(random) * valves);
        QByteArray text;
        if (flow) {
            if (unit(random) < 0.001)
                setPoints[k] = std::floor(unit(random) * 20) * 10;
            const double v = std::round(setPoints[k] * (1 + (unit(random) - 0.5) * 0.04) * 10) / 10;
            text = QByteArray::number(v, 'g', QLocale::FloatingPointShortest);
        } else {
            text = body.at(starts.at(k)) == '1' ? "0" : "1";
        }
        const qsizetype end = k + 1 < starts.size() ? starts.at(k + 1) - 1 : body.size();
        const qsizetype delta = text.size() - (end - starts.at(k));
        body.replace(starts.at(k), end - starts.at(k), text);
        if (delta)
            for (qsizetype j = k + 1; j < starts.size(); ++j)
                starts[j] += delta;

        const qint64 ms = dayStart + i * dayMs / rows;
        const qint64 ofDay = (ms - dayStart) / 1000;
        QByteArray fraction = QByteArray::number(ms % 1000).rightJustified(3, '0');
        while (fraction.size() > 1 && fraction.endsWith('0'))
            fraction.chop(1);
        char stamp[64];
        std::snprintf(stamp, sizeof stamp, "\t# 26/12/06 %02d.%02d.%02d.%s%s\n", int(ofDay / 3600),
                      int(ofDay / 60 % 60), int(ofDay % 60), fraction.constData(), fraction.constData());
        out += QByteArray::number(ms / 1000) + '\t' + body + stamp;
        if (out.size() > (4 << 20)) {
            if (file.write(out) != out.size())
                return false;
            out.clear();
        }
    }
    return file.write(out) == out.size() && file.flush();
}

int runTrendFileBench(int argc, char **argv, const QString &file)
{
    QApplication app(argc, argv);
    TrendModel model;
    TrendWindow window(&model, nullptr);
    window.resize(1280, 800);
    window.show();
    QJsonObject result;
    const auto settle = [&window] {
        const bool done = waitUntil([&window] { return !window.isBusy(); }, 120000);
        window.repaint();
        return done;
    };
    settle();

    QElapsedTimer clock;
    clock.start();
    const std::clock_t cpu = std::clock();
    model.loadRecord(file);
    RecordData summary;
    QObject::connect(&model, &TrendModel::recordRead,
                     [&summary](const QString &, const RecordData &d) { summary = d; });
    waitUntil([&model] { return !model.isLoading(); }, 120000);
    result.insert("readMs", double(clock.nsecsElapsed()) / 1e6);
    if (!settle())
        result.insert("error", "the window did not finish drawing");
    result.insert("drawnMs", double(clock.nsecsElapsed()) / 1e6);
    // Processor time of all threads: what the figure would be on an idle machine.
    result.insert("drawnCpuMs", double(std::clock() - cpu) * 1000.0 / CLOCKS_PER_SEC);
    result.insert("rows", summary.rows);
    result.insert("skipped", summary.skips.skipped());

    // Into the day by halves, about its middle, then out again.
    QJsonArray zooms;
    const qint64 centre = (window.rangeFrom() + window.rangeTo()) / 2;
    const std::clock_t zoomCpu = std::clock();
    for (double factor : {0.5, 0.5, 0.5, 0.5, 0.5, 0.5, 2.0, 2.0, 2.0, 2.0, 2.0, 2.0}) {
        clock.restart();
        window.zoomAt(centre, factor);
        settle();
        zooms << double(clock.nsecsElapsed()) / 1e6;
    }
    result.insert("zoomMs", zooms);
    result.insert("zoomCpuMs", double(std::clock() - zoomCpu) * 1000.0 / CLOCKS_PER_SEC / double(zooms.size()));
    result.insert("peakMB", peakResidentMB());
    QTextStream(stdout) << QJsonDocument(result).toJson(QJsonDocument::Compact) << Qt::endl;
    return 0;
}

void measureTrendFile(TrendFigures &f, const QString &benchBinary, const QString &dataDir)
{
    f.mfcs = fileMfcs;
    f.valves = fileValves;
    f.rows = fileRows;
    QDir().mkpath(dataDir);
    const QString path = QDir(dataDir).filePath(QStringLiteral("Kestrune-20261206.log"));
    const QString done = path + QStringLiteral(".complete");
    if (!QFile::exists(done)) {
        QTextStream(stdout) << "writing " << path << " ..." << Qt::endl;
        if (!writeRecordDay(path, fileMfcs, fileValves, fileRows)) {
            f.error = QStringLiteral("cannot write %1").arg(path);
            return;
        }
        QFile(done).open(QIODevice::WriteOnly);
    }
    f.fileBytes = QFileInfo(path).size();

    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    child.setProcessEnvironment(env);
    child.setStandardErrorFile(QProcess::nullDevice());
    child.start(benchBinary, {QStringLiteral("--trend-file"), path});
    if (!child.waitForFinished(300000)) {
        child.kill();
        f.error = QStringLiteral("the trend window did not finish");
        return;
    }
    const QJsonObject r = QJsonDocument::fromJson(child.readAllStandardOutput().trimmed()).object();
    if (r.isEmpty() || r.contains("error")) {
        f.error = r.value("error").toString(QStringLiteral("the trend window gave no figures"));
        return;
    }
    f.readMs = r.value("readMs").toDouble();
    f.drawnMs = r.value("drawnMs").toDouble();
    f.drawnCpuMs = r.value("drawnCpuMs").toDouble();
    for (const QJsonValue &v : r.value("zoomMs").toArray())
        f.zoomMs << v.toDouble();
    f.zoomMedianMs = median(f.zoomMs);
    f.zoomCpuMs = r.value("zoomCpuMs").toDouble();
    f.zoomMaxMs = f.zoomMs.isEmpty() ? 0 : *std::max_element(f.zoomMs.cbegin(), f.zoomMs.cend());
    f.peakMB = r.value("peakMB").toDouble();
    if (r.value("rows").toInteger() != fileRows || r.value("skipped").toInteger() != 0)
        f.error = QStringLiteral("%1 rows read, %2 skipped")
                      .arg(r.value("rows").toInteger())
                      .arg(r.value("skipped").toInteger());
}

QString trendText(const TrendFigures &f)
{
    const auto n = [](double v, int d) { return QString::number(v, 'f', d); };
    const auto verdict = [](bool met) { return met ? QStringLiteral("met") : QStringLiteral("MISSED"); };
    QString out = QStringLiteral("\nTrends\n");
    if (!f.error.isEmpty()) {
        out += QStringLiteral("  record file: FAILED: %1\n").arg(f.error);
    } else {
        out += QStringLiteral("  record file: %1 MFCs, %2 valves, %3 rows, %4 MB\n")
                   .arg(f.mfcs)
                   .arg(f.valves)
                   .arg(f.rows)
                   .arg(n(double(f.fileBytes) / 1e6, 0));
        out += QStringLiteral("  read in %1 ms; opened and drawn under 2 s: %2 ms (processor time %3 ms), %4\n")
                   .arg(n(f.readMs, 0), n(f.drawnMs, 0), n(f.drawnCpuMs, 0), verdict(f.drawnMs < 2000));
        out += QStringLiteral("  redraw after a zoom under 50 ms: median %1 ms, worst %2 ms of %3 (processor time "
                              "%4 ms each), %5\n")
                   .arg(n(f.zoomMedianMs, 1), n(f.zoomMaxMs, 1))
                   .arg(f.zoomMs.size())
                   .arg(n(f.zoomCpuMs, 1), verdict(f.zoomMaxMs < 50));
        out += QStringLiteral("  memory under 500 MB: peak resident %1 MB, %2\n")
                   .arg(n(f.peakMB, 0), verdict(f.peakMB < 500));
    }
    if (!f.liveError.isEmpty()) {
        out += QStringLiteral("  live view: FAILED: %1\n").arg(f.liveError);
    } else if (f.liveMfcs > 0) {
        const double ratio = f.liveP99WithoutMs > 0 ? f.liveP99WithMs / f.liveP99WithoutMs : 0;
        out += QStringLiteral("  live view, %1 MFCs reporting %2 times a second in all: p99 %3 ms without the window, "
                              "%4 ms with it, x%5 (within x1.5: %6)\n")
                   .arg(f.liveMfcs)
                   .arg(f.liveReportsPerSecond)
                   .arg(n(f.liveP99WithoutMs, 3), n(f.liveP99WithMs, 3), n(ratio, 2), verdict(ratio <= 1.5));
        out +=
            QStringLiteral("  the panel's processor time meanwhile: %1 ms a second without the window, %2 ms with it\n")
                .arg(n(f.liveCpuWithoutMs, 0), n(f.liveCpuWithMs, 0));
    }
    return out;
}

QJsonObject trendJson(const TrendFigures &f)
{
    QJsonArray zooms;
    for (double ms : f.zoomMs)
        zooms << ms;
    QJsonObject o{{"mfcs", f.mfcs},
                  {"valves", f.valves},
                  {"rows", f.rows},
                  {"fileBytes", f.fileBytes},
                  {"readMs", f.readMs},
                  {"openedAndDrawnMs", f.drawnMs},
                  {"openedAndDrawnCpuMs", f.drawnCpuMs},
                  {"zoomRedrawMs", zooms},
                  {"zoomRedrawCpuMs", f.zoomCpuMs},
                  {"peakResidentMB", f.peakMB},
                  {"liveMfcs", f.liveMfcs},
                  {"liveReportsPerSecond", f.liveReportsPerSecond},
                  {"liveP99WithoutWindowMs", f.liveP99WithoutMs},
                  {"liveP99WithWindowMs", f.liveP99WithMs},
                  {"liveCpuMsPerSecondWithoutWindow", f.liveCpuWithoutMs},
                  {"liveCpuMsPerSecondWithWindow", f.liveCpuWithMs}};
    if (!f.error.isEmpty())
        o.insert("error", f.error);
    if (!f.liveError.isEmpty())
        o.insert("liveError", f.liveError);
    return o;
}
