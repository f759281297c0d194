#include "bus/remoteaccess.h"

#include "config/takeitem.h"
#include "config/writelog.h"

#include <QDebug>

namespace {

const QString notAllowed = QStringLiteral("not allowed");
const QString remoteOff = QStringLiteral("remote control is off");

// A bus line may carry any character; the log gets one readable line.
QString printable(const QString &text)
{
    QString out = text;
    for (QChar &c : out) {
        if (!c.isPrint())
            c = QLatin1Char('?');
    }
    return out;
}

} // namespace

RemoteAccess::RemoteAccess(const QStringList &clientEntries, bool remoteControl, QObject *parent)
    : QObject(parent), everyone(clientEntries.isEmpty()), remote(remoteControl)
{
    for (const QString &rest : clientEntries) {
        for (const QString &item : ruleItems(rest)) {
            const Rule rule = parseRule(item);
            // A rule that cannot match is left out: it must not widen the list.
            if (!validClientName(rule.client) || (rule.perLine && rule.line.isEmpty())) {
                qDebug().noquote() << QStringLiteral("REMOTE_CLIENTS: \"%1\" is not a client name; skipped").arg(item);
                continue;
            }
            rules.append(rule);
        }
    }
}

QStringList RemoteAccess::ruleItems(const QString &rest)
{
    QStringList items;
    QString text = rest;
    for (;;) {
        // The reader has warned about the entry's quotes already; a quote left
        // in a name makes it no client name.
        QString item;
        ItemQuote quote;
        text = takeItemQuietly(text, item, quote);
        if (item.isEmpty() && text.isEmpty())
            return items;
        items << item;
    }
}

RemoteAccess::Rule RemoteAccess::parseRule(const QString &item)
{
    const qsizetype at = item.indexOf(QLatin1Char('@'));
    if (at < 0)
        return {item, QString(), false};
    return {item.left(at), item.mid(at + 1), true};
}

bool RemoteAccess::validClientName(const QString &name)
{
    if (name.isEmpty())
        return false;
    for (const QChar c : name) {
        if (!c.isPrint() || c.isSpace() || c == QLatin1Char('.') || c == QLatin1Char('>') || c == QLatin1Char('@') ||
            c == QLatin1Char('"'))
            return false;
    }
    return true;
}

bool RemoteAccess::remoteAtStart(const QString &value)
{
    return value.compare(QLatin1String("ON"), Qt::CaseInsensitive) == 0;
}

bool RemoteAccess::listed(const TMsg &msg) const
{
    if (everyone)
        return true;
    for (const Rule &rule : rules) {
        if (rule.client == msg.fromName && (!rule.perLine || rule.line == msg.toSub))
            return true;
    }
    return false;
}

QString RemoteAccess::refusal(const TMsg &msg) const
{
    // A client that may never switch is told so whatever the switch says.
    if (!listed(msg))
        return QStringLiteral("Er:") + notAllowed;
    if (!remote)
        return QStringLiteral("Er:") + remoteOff;
    return QString();
}

QString RemoteAccess::admit(const TMsg &msg)
{
    const QString reply = refusal(msg);
    if (reply.isEmpty())
        return reply;
    ++refusals;
    const QString reason = reply.mid(3);
    const QString request = (msg.cmd + QLatin1Char(' ') + msg.params).trimmed();
    writeLog(QStringLiteral("Refused request from [%1] to [%2] : %3 : %4")
                 .arg(printable(msg.from), printable(msg.toSub), printable(request), reason));
    emit refused(msg.from, request, reason);
    return reply;
}

void RemoteAccess::setRemoteControl(bool on)
{
    if (on == remote)
        return;
    remote = on;
    writeLog(on ? QStringLiteral("Remote control switched on by the operator")
                : QStringLiteral("Remote control switched off by the operator: local control"));
    emit remoteControlChanged(on);
}
