#pragma once

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>

#include <functional>

class CheckedAppend;

// What happened, who did it and when: the daily file
// "NAME-events-yyyyMMdd.log" beside the record file, one line per event
// (local time with milliseconds, kind, source, text; tab-separated), and
// today's events in memory for the History window.
class EventHistory : public QObject
{
    Q_OBJECT

public:
    struct Event
    {
        QDateTime time;
        QString kind;
        QString source;
        QString text;
    };

    // Kinds as the file writes them.
    static const QString AlarmRaised, AlarmCleared, AlarmAcknowledged, Operator, Request, Refused, Interlock, Link,
        Timed;

    // file counts the writes that fail; today's file, when there is one, is
    // read back so that a restart keeps the day's history in view.
    EventHistory(const QString &name, std::function<QDateTime()> clock, CheckedAppend *file, QObject *parent = nullptr);

    QString fileName(const QDate &date) const;
    void add(const QString &kind, const QString &source, const QString &text);
    // Today's newest events, oldest first: a busy day's requests would
    // otherwise grow the panel without end. The file keeps them all.
    const QList<Event> &events() const { return today; }
    void setKept(qsizetype count) { kept = count; }
    static QString line(const Event &event);

signals:
    void added(const EventHistory::Event &event);

private:
    Q_DISABLE_COPY(EventHistory)

    void readBack(const QDate &date);
    void keepNewest();

    QString name;
    std::function<QDateTime()> clock;
    CheckedAppend *file;
    QDate day;
    QList<Event> today;
    qsizetype kept = 10000;
};
