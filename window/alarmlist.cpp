#include "window/alarmlist.h"

#include <algorithm>

AlarmList::AlarmList(const QString &user, std::function<QDateTime()> clock, QObject *parent)
    : QAbstractTableModel(parent), user(user), clock(std::move(clock))
{
}

int AlarmList::activeRow(const QString &key) const
{
    for (int row = 0; row < alarms.size(); ++row)
        if (alarms.at(row).active && alarms.at(row).key == key)
            return row;
    return -1;
}

bool AlarmList::isActive(const QString &key) const
{
    return activeRow(key) >= 0;
}

QString AlarmList::activeText(const QString &key) const
{
    const int row = activeRow(key);
    return row < 0 ? QString() : alarms.at(row).text;
}

void AlarmList::raise(const QString &key, const QString &source, Severity severity, const QString &text)
{
    if (isActive(key))
        return;
    // A condition that comes back before its last showing was acknowledged is
    // a new occurrence: both stay listed.
    beginInsertRows(QModelIndex(), alarms.size(), alarms.size());
    alarms << Alarm{key, source, text, severity, clock(), true, QString(), QDateTime()};
    endInsertRows();
    emit raised(alarms.last());
    emit countChanged();
}

void AlarmList::clear(const QString &key)
{
    const int row = activeRow(key);
    if (row < 0)
        return;
    alarms[row].active = false;
    const Alarm gone = alarms.at(row);
    emit dataChanged(index(row, 0), index(row, ColumnCount - 1));
    removeIfDone(row);
    emit cleared(gone);
    emit countChanged();
}

void AlarmList::acknowledge(int row)
{
    if (row < 0 || row >= alarms.size() || alarms.at(row).acknowledged())
        return;
    alarms[row].ackBy = user;
    alarms[row].ackAt = clock();
    const Alarm seen = alarms.at(row);
    emit dataChanged(index(row, 0), index(row, ColumnCount - 1));
    removeIfDone(row);
    emit acknowledged(seen);
    emit countChanged();
}

void AlarmList::acknowledgeAll()
{
    // Backwards: acknowledging may remove the row.
    for (int row = alarms.size() - 1; row >= 0; --row)
        acknowledge(row);
}

void AlarmList::removeIfDone(int row)
{
    if (alarms.at(row).active || !alarms.at(row).acknowledged())
        return;
    beginRemoveRows(QModelIndex(), row, row);
    alarms.removeAt(row);
    endRemoveRows();
}

int AlarmList::unacknowledged() const
{
    return int(std::count_if(alarms.cbegin(), alarms.cend(), [](const Alarm &a) { return !a.acknowledged(); }));
}

QString AlarmList::counterText() const
{
    if (alarms.isEmpty())
        return QString();
    if (alarms.size() == 1)
        return tr("1 alarm, %1 unacknowledged").arg(unacknowledged());
    return tr("%1 alarms, %2 unacknowledged").arg(alarms.size()).arg(unacknowledged());
}

AlarmList::Severity AlarmList::worst() const
{
    Severity w = AlarmInterval::Minor;
    for (const Alarm &a : alarms)
        w = std::max(w, a.severity);
    return w;
}

QColor AlarmList::colour(Severity severity)
{
    switch (severity) {
    case AlarmInterval::Minor:
        return QColor(255, 230, 0);
    case AlarmInterval::Invalid:
        return QColor(255, 0, 255);
    default:
        return QColor(220, 0, 0);
    }
}

QColor AlarmList::textColour(Severity severity)
{
    return severity == AlarmInterval::Minor ? QColor(0, 0, 0) : QColor(255, 255, 255);
}

QString AlarmList::severityText(Severity severity)
{
    switch (severity) {
    case AlarmInterval::Minor:
        return tr("Minor");
    case AlarmInterval::Invalid:
        return tr("Invalid");
    default:
        return tr("Major");
    }
}

int AlarmList::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(alarms.size());
}

int AlarmList::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QString AlarmList::cellText(const Alarm &a, int column) const
{
    const QString time = QStringLiteral("yyyy-MM-dd HH:mm:ss");
    switch (column) {
    case Raised:
        return a.raised.toString(time);
    case SeverityColumn:
        return severityText(a.severity);
    case Source:
        return a.source;
    case Text:
        return a.text;
    case State:
        return a.active ? tr("Active") : tr("Cleared");
    case Acknowledged:
        return a.acknowledged() ? tr("%1 at %2").arg(a.ackBy, a.ackAt.toString(time)) : tr("No");
    default:
        return QString();
    }
}

QVariant AlarmList::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= alarms.size())
        return QVariant();
    const Alarm &a = alarms.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return cellText(a, index.column());
    case Qt::BackgroundRole:
        return index.column() == SeverityColumn ? QVariant(colour(a.severity)) : QVariant();
    case Qt::ForegroundRole:
        return index.column() == SeverityColumn ? QVariant(textColour(a.severity)) : QVariant();
    case Qt::ToolTipRole:
        return tr("%1: %2, raised %3").arg(a.source, a.text, cellText(a, Raised));
    default:
        return QVariant();
    }
}

QVariant AlarmList::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QVariant();
    switch (section) {
    case Raised:
        return tr("Raised");
    case SeverityColumn:
        return tr("Severity");
    case Source:
        return tr("Source");
    case Text:
        return tr("Alarm");
    case State:
        return tr("State");
    case Acknowledged:
        return tr("Acknowledged");
    default:
        return QVariant();
    }
}
