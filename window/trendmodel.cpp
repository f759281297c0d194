#include "window/trendmodel.h"

#include <QFileInfo>

#include <algorithm>

TrendModel::TrendModel(QObject *parent) : QObject(parent)
{
    pool.setMaxThreadCount(1);
}

TrendModel::~TrendModel()
{
    cancel = true;
    pool.waitForDone();
}

bool TrendModel::loadRecord(const QString &path)
{
    const QFileInfo info(path);
    const QString key = info.exists() ? info.canonicalFilePath() : info.absoluteFilePath();
    if (loaded.contains(key))
        return false;
    loaded << key;
    ++loading;
    pool.start([this, path] {
        RecordData data = RecordReader(&cancel).read(path);
        // Queued to the model, whose destructor waits for the reading.
        QMetaObject::invokeMethod(
            this,
            [this, path, data = std::move(data)] {
                addRecord(QFileInfo(path).fileName(), data);
                if (--loading == 0)
                    emit loadingFinished();
            },
            Qt::QueuedConnection);
    });
    return true;
}

qsizetype TrendModel::find(TrendSeries::Kind kind, const QString &label, int occurrence) const
{
    return curveIndex.value({label, curveKey(kind, occurrence)}, -1);
}

void TrendModel::addCurve(const TrendSeries &s)
{
    curveIndex.insert({s.label, curveKey(s.kind, s.occurrence)}, curves.size());
    curves.append(s);
}

qsizetype TrendModel::addLiveCurve(TrendSeries::Kind kind, const QString &label, int occurrence)
{
    qsizetype i = find(kind, label, occurrence);
    if (i < 0) {
        TrendSeries s;
        s.kind = kind;
        s.label = label;
        s.occurrence = occurrence;
        i = curves.size();
        addCurve(s);
        emit curvesAdded();
    }
    curves[i].live = true;
    return i;
}

void TrendModel::append(qsizetype curve, qint64 ms, double value)
{
    if (curves[curve].append(ms, value))
        emit dataChanged();
}

void TrendModel::addRecord(const QString &fileName, const RecordData &data)
{
    bool added = false;
    for (const TrendSeries &s : data.series) {
        const qsizetype i = find(s.kind, s.label, s.occurrence);
        if (i < 0) {
            addCurve(s);
            added = true;
        } else {
            curves[i].merge(s);
        }
    }
    RecordData summary;
    summary.rows = data.rows;
    summary.skips = data.skips;
    summary.error = data.error;
    emit recordRead(fileName, summary);
    if (added)
        emit curvesAdded();
    emit dataChanged();
}

bool TrendModel::timeSpan(qint64 *first, qint64 *last) const
{
    bool any = false;
    for (const TrendSeries &s : curves) {
        if (s.isEmpty())
            continue;
        *first = any ? std::min(*first, s.times.constFirst()) : s.times.constFirst();
        *last = any ? std::max(*last, s.endMs) : s.endMs;
        any = true;
    }
    return any;
}

void TrendModel::dropBefore(qint64 ms)
{
    // Files the operator opened stay as they were read.
    for (TrendSeries &s : curves) {
        if (s.live)
            s.dropBefore(ms);
    }
    intervals.erase(std::remove_if(intervals.begin(), intervals.end(),
                                   [ms](const AlarmInterval &a) { return !a.active() && a.toMs < ms; }),
                    intervals.end());
}

void TrendModel::addAlarmInterval(const AlarmInterval &interval)
{
    intervals.append(interval);
    emit alarmsChanged();
}

void TrendModel::openAlarm(const QString &source, AlarmInterval::Severity severity, qint64 fromMs)
{
    addAlarmInterval(AlarmInterval{source, fromMs, -1, severity});
}

void TrendModel::closeAlarm(const QString &source, qint64 toMs)
{
    bool closed = false;
    for (AlarmInterval &a : intervals) {
        if (a.source == source && a.active()) {
            a.toMs = std::max(toMs, a.fromMs);
            closed = true;
        }
    }
    if (closed)
        emit alarmsChanged();
}
