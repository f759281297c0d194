#pragma once

#include "window/alarminterval.h"

#include <QAbstractTableModel>
#include <QColor>
#include <QDateTime>
#include <QList>

#include <functional>

// The latched alarms the operator has to see: an alarm stays listed until it
// has cleared and been acknowledged, in whichever order the two come.
// Widget-free, so that every order can be played through it.
class AlarmList : public QAbstractTableModel
{
    Q_OBJECT

public:
    using Severity = AlarmInterval::Severity;
    enum Column { Raised, SeverityColumn, Source, Text, State, Acknowledged, ColumnCount };

    struct Alarm
    {
        QString key; // one condition of one source, e.g. the flow of one MFC
        QString source;
        QString text;
        Severity severity = AlarmInterval::Major;
        QDateTime raised;
        bool active = true;
        QString ackBy; // empty while not acknowledged
        QDateTime ackAt;

        bool acknowledged() const { return !ackBy.isEmpty(); }
    };

    AlarmList(const QString &user, std::function<QDateTime()> clock, QObject *parent = nullptr);

    // A condition came up; nothing changes while the same key is active.
    void raise(const QString &key, const QString &source, Severity severity, const QString &text);
    // The condition went away; the row goes once it is also acknowledged.
    void clear(const QString &key);
    void acknowledge(int row);
    void acknowledgeAll();

    bool isActive(const QString &key) const;
    // The text of the active alarm of key; empty without one.
    QString activeText(const QString &key) const;
    QString userName() const { return user; }
    const Alarm &alarm(int row) const { return alarms.at(row); }
    int unacknowledged() const;
    // "2 alarms, 1 unacknowledged"; empty without alarms.
    QString counterText() const;
    // Of every listed alarm; Minor without any.
    Severity worst() const;
    // The look of a severity: background and a readable text colour on it.
    static QColor colour(Severity severity);
    static QColor textColour(Severity severity);
    static QString severityText(Severity severity);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

signals:
    void raised(const AlarmList::Alarm &alarm);
    void cleared(const AlarmList::Alarm &alarm);
    void acknowledged(const AlarmList::Alarm &alarm);
    // The count, the unacknowledged count or the worst severity may differ.
    void countChanged();

private:
    Q_DISABLE_COPY(AlarmList)

    int activeRow(const QString &key) const;
    void removeIfDone(int row);
    QString cellText(const Alarm &a, int column) const;

    QString user;
    std::function<QDateTime()> clock;
    QList<Alarm> alarms;
};
