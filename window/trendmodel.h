#pragma once

#include "window/alarminterval.h"
#include "window/recordreader.h"
#include "window/trendseries.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QStringList>
#include <QThreadPool>

#include <atomic>

// Every curve the trends can show, from record files and from the live
// panel, and the alarm intervals to shade. Curves are only ever added.
class TrendModel : public QObject
{
    Q_OBJECT

public:
    explicit TrendModel(QObject *parent = nullptr);
    ~TrendModel() override;

    const QList<TrendSeries> &series() const { return curves; }
    const TrendSeries &at(qsizetype i) const { return curves.at(i); }
    qsizetype count() const { return curves.size(); }
    // The curve of that kind and label (the n-th of that name), -1 if none.
    qsizetype find(TrendSeries::Kind kind, const QString &label, int occurrence = 0) const;
    // A live curve for a node of the panel; an existing curve of that name
    // continues.
    qsizetype addLiveCurve(TrendSeries::Kind kind, const QString &label, int occurrence);
    void append(qsizetype curve, qint64 ms, double value);

    // Takes the curves of a record file in and says what was skipped.
    void addRecord(const QString &fileName, const RecordData &data);
    // Reads a record file on a worker thread and adds it when read; a file
    // already read is not read again. False when it was.
    bool loadRecord(const QString &path);
    bool isLoading() const { return loading > 0; }
    // Earliest and latest time of any curve; false when there is none.
    bool timeSpan(qint64 *first, qint64 *last) const;
    // Forgets what the live curves hold before ms, so a panel that runs for
    // weeks does not keep every value it ever showed.
    void dropBefore(qint64 ms);

    const QList<AlarmInterval> &alarms() const { return intervals; }

public slots:
    void addAlarmInterval(const AlarmInterval &interval);
    // An alarm of source was raised at fromMs; it stays open until closed.
    void openAlarm(const QString &source, AlarmInterval::Severity severity, qint64 fromMs);
    void closeAlarm(const QString &source, qint64 toMs);

signals:
    void curvesAdded();
    // Points were appended (live) or merged in (files).
    void dataChanged();
    void alarmsChanged();
    // A record file was read: its name, its rows and what was skipped.
    void recordRead(const QString &fileName, const RecordData &summary);
    void loadingFinished();

private:
    Q_DISABLE_COPY(TrendModel)

    QList<TrendSeries> curves;
    // Where each curve is, by label, kind and occurrence: a large plant adds
    // thousands, each looked up first.
    QHash<std::pair<QString, qint64>, qsizetype> curveIndex;
    static qint64 curveKey(TrendSeries::Kind kind, int occurrence) { return qint64(kind) << 32 | quint32(occurrence); }
    void addCurve(const TrendSeries &s);
    QList<AlarmInterval> intervals;
    QStringList loaded;
    int loading = 0;
    std::atomic_bool cancel{false};
    QThreadPool pool;
};
