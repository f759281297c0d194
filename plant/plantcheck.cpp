#include "plant/plantcheck.h"

#include "bus/remoteaccess.h"
#include "config/config.h"
#include "config/numbers.h"
#include "plant/plantdescription.h"

#include <algorithm>
#include <cmath>

namespace {

bool isPort(const QString &text)
{
    bool ok = false;
    if (text.startsWith(QLatin1String("0x")))
        text.mid(2).toInt(&ok, 16);
    else
        text.toInt(&ok, 10);
    return ok;
}

// How many paths lead from each node up to the sources, counted once per
// node and held at limit + 1 once past limit.
QList<qint64> pathCounts(const PlantDescription &plant, qint64 limit)
{
    // Depth first, each node counted once from the counts of its feeders;
    // an explicit stack keeps a deep plant off the call stack.
    QList<qint64> count(plant.nodes.size(), -1);
    for (int start = 0; start < plant.nodes.size(); ++start) {
        QList<int> todo{start};
        while (!todo.isEmpty()) {
            const int n = todo.last();
            if (count[n] >= 0) {
                todo.removeLast();
                continue;
            }
            bool ready = true;
            qint64 sum = 0;
            for (int up : plant.upstream.at(n)) {
                if (count[up] < 0) {
                    todo.append(up);
                    ready = false;
                } else {
                    sum = qMin(limit + 1, sum + count[up]);
                }
            }
            if (ready) {
                count[n] = plant.upstream.at(n).isEmpty() ? 1 : sum;
                todo.removeLast();
            }
        }
    }
    return count;
}

} // namespace

PlantCheck::PlantCheck(const Config &cfg) : cfg(cfg)
{
    for (const ConfigProblem &p : cfg.problems())
        report(p.file, p.line, p.text);
    checkSettings();
    const PlantDescription plant(cfg, true);
    for (const ConfigProblem &p : plant.notes)
        report(p.file, p.line, p.text);
    checkNodes(plant);
    checkPaths(plant);
    checkCycles(plant);
    checkRemoteAccess(plant);
    checkUnknownKeys();
}

QStringList PlantCheck::problems() const
{
    // In the order of the files as they were read, then of their lines.
    QStringList files{QString()};
    for (const ConfigEntry &e : cfg.allEntries()) {
        if (!files.contains(e.file))
            files << e.file;
    }
    QList<Problem> sorted = found;
    std::stable_sort(sorted.begin(), sorted.end(), [&files](const Problem &a, const Problem &b) {
        const qsizetype fa = files.contains(a.file) ? files.indexOf(a.file) : files.size();
        const qsizetype fb = files.contains(b.file) ? files.indexOf(b.file) : files.size();
        return fa != fb ? fa < fb : a.line < b.line;
    });
    QStringList lines;
    for (const Problem &p : std::as_const(sorted)) {
        if (p.file.isEmpty())
            lines << p.text;
        else if (p.line <= 0)
            lines << p.file + QStringLiteral(": ") + p.text;
        else
            lines << QStringLiteral("%1:%2: %3").arg(p.file).arg(p.line).arg(p.text);
    }
    return lines;
}

void PlantCheck::report(const QString &file, int line, const QString &text)
{
    // The same item is split more than once (as the value, then as an item
    // of its entry): each problem counts once.
    const QString id = QStringLiteral("%1\n%2\n%3").arg(file).arg(line).arg(text);
    if (seen.contains(id))
        return;
    seen.insert(id);
    found.append({file, line, text});
}

void PlantCheck::report(const ConfigEntry &e, const QString &text)
{
    report(e.file, e.line, text);
}

QList<ConfigEntry> PlantCheck::entries(const QString &key) const
{
    QList<ConfigEntry> list;
    for (const ConfigEntry &e : cfg.allEntries()) {
        if (e.key == key)
            list << e;
    }
    return list;
}

void PlantCheck::checkSettings()
{
    static const QStringList wholeNumbers{QStringLiteral("MFC_PANEL"), QStringLiteral("DISP_PANEL"),
                                          QStringLiteral("VALVE_PANEL"), QStringLiteral("DISP_WIDTH"),
                                          QStringLiteral("DISP_HEIGHT")};
    for (const ConfigEntry &e : cfg.allEntries()) {
        if (e.file.isEmpty())
            continue;
        if (wholeNumbers.contains(e.key)) {
            bool whole = false;
            e.value.toInt(&whole, 10);
            if (e.value.isEmpty())
                report(e, QStringLiteral("%1 has no value; 0 is used").arg(e.key));
            else if (!whole)
                report(e, QStringLiteral("%1: \"%2\" is not a whole number; 0 is used").arg(e.key, e.value));
        } else if (e.key == QLatin1String("TELSO_PORT")) {
            if (e.value.isEmpty())
                report(e, QStringLiteral("TELSO_PORT has no value; port 0 is used"));
            else if (!isPort(e.value))
                report(e, QStringLiteral("TELSO_PORT: \"%1\" is not a port number; port 0 is used").arg(e.value));
        } else if (e.key == QLatin1String("TELSO_RECONNECT") || e.key == QLatin1String("LINK_TIMEOUT")) {
            const QString off = e.key == QLatin1String("LINK_TIMEOUT") ? QStringLiteral("stall detection is off")
                                                                       : QStringLiteral("recovery is off");
            if (e.value.isEmpty())
                report(e, QStringLiteral("%1 has no value; %2").arg(e.key, off));
            else if (!isDecimal(e.value))
                report(e, QStringLiteral("%1: \"%2\" is not a number; %3").arg(e.key, e.value, off));
            else if (e.value.toDouble() < 0)
                report(e, QStringLiteral("%1: %2 is below 0; %3").arg(e.key, e.value, off));
        } else if (e.key == QLatin1String("CONFIRM_TIMEOUT")) {
            if (!isDecimal(e.value) || e.value.toDouble() <= 0)
                report(e, QStringLiteral("CONFIRM_TIMEOUT: \"%1\" is not a positive number; 5 seconds are used")
                              .arg(e.value));
        } else if (e.key == QLatin1String("DEVICE_POLL")) {
            if (!isDecimal(e.value) || e.value.toDouble() < 0)
                report(e, QStringLiteral("DEVICE_POLL: \"%1\" is not a number of seconds; the devices are not polled")
                              .arg(e.value));
        }
    }
}

void PlantCheck::checkNodes(const PlantDescription &plant)
{
    for (qsizetype i = 0; i < plant.nodes.size(); ++i) {
        const PlantNode &n = plant.nodes.at(i);
        const QString name = QStringLiteral("%1 %2").arg(PlantNode::kindWord(n.kind), n.name);
        if (n.kind == PlantNode::Valve) {
            if (!n.flag.isEmpty() && !n.normallyOn)
                report(n.file, n.line,
                       QStringLiteral("%1: flag \"%2\" is not N_ON; the valve is a normal one").arg(name, n.flag));
            if (n.hwNode.isEmpty() && n.channel.isEmpty())
                report(n.file, n.line,
                       QStringLiteral("%1 has no hardware node and no channel; its commands go nowhere").arg(name));
            else if (n.hwNode.isEmpty())
                report(n.file, n.line, QStringLiteral("%1 has no hardware node; its commands go nowhere").arg(name));
            else if (n.channel.isEmpty())
                report(n.file, n.line, QStringLiteral("%1 has no channel on %2").arg(name, n.hwNode));
        } else if (n.kind == PlantNode::Mfc && !n.dummy && n.hwNode.isEmpty()) {
            report(n.file, n.line, QStringLiteral("%1 has no hardware node; its commands go nowhere").arg(name));
        }
        const int first = plant.find(n.number, n.kind);
        if (first != i) {
            const PlantNode &f = plant.nodes.at(first);
            report(n.file, n.line,
                   QStringLiteral("%1 is defined again (first at %2:%3); every reference finds the first")
                       .arg(PlantNode::reference(n.kind, n.number), f.file)
                       .arg(f.line));
        }
    }
}

// Stat lists a node once per path, and SetPurge reaches it once per path:
// past some number of paths such a request would hold the panel for long.
void PlantCheck::checkPaths(const PlantDescription &plant)
{
    QList<bool> feedsAnother(plant.nodes.size(), false);
    for (const QList<int> &feeders : plant.upstream) {
        for (int up : feeders)
            feedsAnother[up] = true;
    }
    const QList<qint64> paths = pathCounts(plant, MaxPaths);
    for (qsizetype i = 0; i < plant.nodes.size(); ++i) {
        // The nodes it feeds have as many paths: the one that feeds none names them all.
        if (paths.at(i) <= MaxPaths || feedsAnother.at(i))
            continue;
        const PlantNode &n = plant.nodes.at(i);
        report(n.file, n.line,
               QStringLiteral("%1 has more than %2 paths up to its sources; Stat and SetPurge walk every one")
                   .arg(PlantNode::reference(n.kind, n.number))
                   .arg(MaxPaths));
    }
}

// Timed opening and closing together switch a valve back and forth; faster
// than once a minute it is worn out, not controlled.
void PlantCheck::checkCycles(const PlantDescription &plant)
{
    // The time in force for a valve is its last entry.
    QHash<int, PlantDescription::Time> opens;
    QHash<int, PlantDescription::Time> closes;
    for (const PlantDescription::Time &t : plant.timesToOpen)
        opens.insert(t.valve, t);
    for (const PlantDescription::Time &t : plant.timesToClose)
        closes.insert(t.valve, t);
    const auto msec = [](double minutes) { return std::max(1000.0, std::trunc(minutes * 60000.0)); };
    for (auto open = opens.cbegin(); open != opens.cend(); ++open) {
        const auto close = closes.constFind(open.key());
        if (close == closes.cend() || !(open->minutes > 0) || !(close->minutes > 0) ||
            msec(open->minutes) + msec(close->minutes) >= 60000)
            continue;
        const PlantDescription::Time &later = open->file == close->file && open->line > close->line ? *open : *close;
        report(later.file, later.line,
               QStringLiteral("VALVE %1: opening after %2 min and closing after %3 min cycle it more often than "
                              "once a minute")
                   .arg(QString::number(plant.nodes.at(open.key()).number), shortest(open->minutes),
                        shortest(close->minutes)));
    }
}

void PlantCheck::checkRemoteAccess(const PlantDescription &plant)
{
    // Bus names that reach a node, as the plant building gives them.
    QSet<QString> busNames;
    for (const PlantDescription::BusName &b : plant.busNames)
        busNames.insert(b.name);

    for (const ConfigEntry &e : entries(QStringLiteral("REMOTE_CLIENTS"))) {
        const QStringList items = RemoteAccess::ruleItems(e.rest);
        if (items.isEmpty())
            report(e, QStringLiteral("REMOTE_CLIENTS names no client; this entry allows nobody"));
        for (const QString &item : items) {
            const RemoteAccess::Rule rule = RemoteAccess::parseRule(item);
            if (!RemoteAccess::validClientName(rule.client))
                report(e, QStringLiteral("REMOTE_CLIENTS: \"%1\" is not a client name; it allows nobody").arg(item));
            else if (rule.perLine && !busNames.contains(rule.line))
                report(e, QStringLiteral("REMOTE_CLIENTS: \"%1\" names no bus name \"%2\"; it allows nothing")
                              .arg(item, rule.line));
        }
    }

    for (const ConfigEntry &e : entries(QStringLiteral("REMOTE_CONTROL"))) {
        const QString v = e.value.toUpper();
        if (v != QLatin1String("ON") && v != QLatin1String("OFF"))
            report(e, QStringLiteral("REMOTE_CONTROL: \"%1\" is neither ON nor OFF; the panel starts in local control")
                          .arg(e.value));
    }
}

void PlantCheck::checkUnknownKeys()
{
    static const QSet<QString> known{
        QStringLiteral("TELSO_IP"),       QStringLiteral("TELSO_PORT"),      QStringLiteral("KEY_FILE_NAME"),
        QStringLiteral("NAME_ON_TELSO"),  QStringLiteral("TELSO_RECONNECT"), QStringLiteral("MFC_PANEL"),
        QStringLiteral("DISP_PANEL"),     QStringLiteral("VALVE_PANEL"),     QStringLiteral("DISP_WIDTH"),
        QStringLiteral("DISP_HEIGHT"),    QStringLiteral("VALVE"),           QStringLiteral("MFC"),
        QStringLiteral("NODE"),           QStringLiteral("CONNECT"),         QStringLiteral("TELSO_CH"),
        QStringLiteral("EXCLUSIVE"),      QStringLiteral("COND_TO_OPEN"),    QStringLiteral("COND_TO_CLOSE"),
        QStringLiteral("TIME_TO_OPEN"),   QStringLiteral("TIME_TO_CLOSE"),   QStringLiteral("REMOTE_CLIENTS"),
        QStringLiteral("REMOTE_CONTROL"), QStringLiteral("CONFIRM_TIMEOUT"), QStringLiteral("DEVICE_POLL"),
        QStringLiteral("LINK_TIMEOUT"),
    };
    for (const ConfigEntry &e : cfg.allEntries()) {
        if (!e.file.isEmpty() && !known.contains(e.key))
            report(e, QStringLiteral("unknown key \"%1\"; the entry is not used").arg(e.key));
    }
}
