#include "window/eventhistory.h"

#include "window/checkedappend.h"

#include <QFile>

namespace {

const QString stamp = QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz");

// One event is one line: a field never carries a tab or a line end.
QString field(QString text)
{
    for (QChar &c : text)
        if (c == QLatin1Char('\t') || c == QLatin1Char('\n') || c == QLatin1Char('\r'))
            c = QLatin1Char(' ');
    return text;
}

} // namespace

const QString EventHistory::AlarmRaised = QStringLiteral("ALARM");
const QString EventHistory::AlarmCleared = QStringLiteral("CLEARED");
const QString EventHistory::AlarmAcknowledged = QStringLiteral("ACK");
const QString EventHistory::Operator = QStringLiteral("OPERATOR");
const QString EventHistory::Request = QStringLiteral("REQUEST");
const QString EventHistory::Refused = QStringLiteral("REFUSED");
const QString EventHistory::Interlock = QStringLiteral("INTERLOCK");
const QString EventHistory::Link = QStringLiteral("LINK");
const QString EventHistory::Timed = QStringLiteral("TIMED");

EventHistory::EventHistory(const QString &name, std::function<QDateTime()> clock, CheckedAppend *file, QObject *parent)
    : QObject(parent), name(name), clock(std::move(clock)), file(file)
{
    readBack(this->clock().date());
}

QString EventHistory::fileName(const QDate &date) const
{
    return QStringLiteral("%1-events-%2.log").arg(name, date.toString(QStringLiteral("yyyyMMdd")));
}

QString EventHistory::line(const Event &event)
{
    return QStringLiteral("%1\t%2\t%3\t%4\n")
        .arg(event.time.toString(stamp), field(event.kind), field(event.source), field(event.text));
}

void EventHistory::readBack(const QDate &date)
{
    day = date;
    today.clear();
    QFile in(fileName(date));
    if (!in.open(QIODevice::ReadOnly | QIODevice::Text))
        return;
    while (!in.atEnd()) {
        QString text = QString::fromUtf8(in.readLine());
        while (text.endsWith(QLatin1Char('\n')) || text.endsWith(QLatin1Char('\r')))
            text.chop(1);
        const QStringList parts = text.split(QLatin1Char('\t'));
        const QDateTime time = QDateTime::fromString(parts.value(0), stamp);
        if (parts.size() == 4 && time.isValid())
            today << Event{time, parts.at(1), parts.at(2), parts.at(3)};
    }
    keepNewest();
}

void EventHistory::keepNewest()
{
    if (today.size() > kept)
        today.remove(0, today.size() - kept);
}

void EventHistory::add(const QString &kind, const QString &source, const QString &text)
{
    const Event event{clock(), kind, source, text};
    // The window shows today's events: a new day starts a new list.
    if (event.time.date() != day) {
        day = event.time.date();
        today.clear();
    }
    today << event;
    keepNewest();
    file->append(fileName(day), line(event));
    emit added(event);
}
