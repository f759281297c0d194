#include "window/plantcheck.h"

#include "config/config.h"
#include "config/numbers.h"
#include "nodes/remoteaccess.h"

#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <functional>

namespace {

const char *const kindWords[] = {"NODE", "VALVE", "MFC"};

int typeCode(const QString &word)
{
    for (int kind = 0; kind < 3; ++kind) {
        if (word == QLatin1String(kindWords[kind]))
            return kind;
    }
    return 3;
}

QString nodeText(int kind, int number)
{
    return QStringLiteral("%1 %2").arg(QLatin1String(kindWords[kind])).arg(number);
}

bool isInt(const QString &text)
{
    bool ok = false;
    text.toInt(&ok, 10);
    return ok;
}

bool isPort(const QString &text)
{
    bool ok = false;
    if (text.startsWith(QLatin1String("0x")))
        text.mid(2).toInt(&ok, 16);
    else
        text.toInt(&ok, 10);
    return ok;
}

// Words of the keys read as words: cut at the first "#", blanks collapsed.
QStringList words(const QString &rest, bool cutComment = true)
{
    const QString text = (cutComment ? rest.section(QLatin1Char('#'), 0, 0) : rest).simplified();
    if (text.isEmpty())
        return {};
    return text.split(QRegularExpression(QStringLiteral("\\s+")));
}

QString stopText(const QString &key, qsizetype later)
{
    if (later == 0)
        return QStringLiteral("this entry is ignored");
    if (later == 1)
        return QStringLiteral("this and the 1 later %1 entry are ignored").arg(key);
    return QStringLiteral("this and the %1 later %2 entries are ignored").arg(later).arg(key);
}

} // namespace

PlantCheck::PlantCheck(const Config &cfg) : cfg(cfg)
{
    for (const ConfigProblem &p : cfg.problems())
        report(p.file, p.line, p.text);
    checkSettings();
    checkNodes(QStringLiteral("VALVE"), 1, 12);
    checkExclusive();
    checkConditions(QStringLiteral("COND_TO_OPEN"), true);
    checkConditions(QStringLiteral("COND_TO_CLOSE"), false);
    checkNodes(QStringLiteral("MFC"), 2, 13);
    checkNodes(QStringLiteral("NODE"), 0, 8);
    checkConnections();
    checkTimes(QStringLiteral("TIME_TO_OPEN"));
    checkTimes(QStringLiteral("TIME_TO_CLOSE"));
    checkCycles();
    checkBusNames();
    checkRemoteAccess();
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

QStringList PlantCheck::items(const ConfigEntry &e, int count)
{
    QStringList list;
    QString text = e.rest;
    for (int i = 0; i < count; ++i) {
        QString item;
        ItemQuote quote;
        const QString before = text;
        text = takeItemQuietly(before, item, quote);
        if (quote != ItemQuote::Balanced)
            report(e, quoteProblem(quote, item));
        list << item;
    }
    return list;
}

void PlantCheck::needInt(const ConfigEntry &e, const QString &what, const QString &text)
{
    if (!text.isEmpty() && !isInt(text))
        report(e, QStringLiteral("%1: \"%2\" is not a whole number; 0 is used").arg(what, text));
}

void PlantCheck::needDecimal(const ConfigEntry &e, const QString &what, const QString &text)
{
    if (!text.isEmpty() && !isDecimal(text))
        report(e, QStringLiteral("%1: \"%2\" is not a number; 0 is used").arg(what, text));
}

int PlantCheck::find(int number, int kind) const
{
    for (qsizetype i = 0; i < nodes.size(); ++i) {
        if (nodes[i].kind == kind && nodes[i].number == number)
            return int(i);
    }
    return -1;
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
            if (e.value.isEmpty())
                report(e, QStringLiteral("%1 has no value; 0 is used").arg(e.key));
            needInt(e, e.key, e.value);
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

void PlantCheck::checkNodes(const QString &key, int kind, int count)
{
    for (const ConfigEntry &e : entries(key)) {
        const QStringList it = items(e, count);
        const QString name = QStringLiteral("%1 %2").arg(key, it[0]);
        if (it[0].isEmpty())
            report(e, QStringLiteral("%1 without a name; it counts as number 0").arg(key));
        needInt(e, name + QStringLiteral(" name"), it[0]);
        if (kind != 0)
            needInt(e, name + QStringLiteral(" column"), it[1]);
        const int cfItem = kind == 0 ? 2 : 3;
        needDecimal(e, name + QStringLiteral(" cf"), it[cfItem]);
        const int geometry = kind == 0 ? 4 : 7;
        static const char *const coordinates[] = {"x", "y", "w", "h"};
        for (int i = 0; i < 4; ++i)
            needInt(e, name + QLatin1Char(' ') + QLatin1String(coordinates[i]), it[geometry + i]);
        if (kind == 2) {
            needDecimal(e, name + QStringLiteral(" minimum flow"), it[11]);
            needDecimal(e, name + QStringLiteral(" minimum flow factor"), it[12]);
        }

        if (kind == 1 && !it[11].isEmpty() && it[11].toUpper() != QLatin1String("N_ON"))
            report(e, QStringLiteral("%1: flag \"%2\" is not N_ON; the valve is a normal one").arg(name, it[11]));

        if (kind == 1) {
            if (it[5].isEmpty() && it[6].isEmpty())
                report(e, QStringLiteral("%1 has no hardware node and no channel; its commands go nowhere").arg(name));
            else if (it[5].isEmpty())
                report(e, QStringLiteral("%1 has no hardware node; its commands go nowhere").arg(name));
            else if (it[6].isEmpty())
                report(e, QStringLiteral("%1 has no channel on %2").arg(name, it[5]));
        } else if (kind == 2 && it[4] != QLatin1String("DUMMY") && it[5].isEmpty()) {
            report(e, QStringLiteral("%1 has no hardware node; its commands go nowhere").arg(name));
        }

        const int number = toInt32(it[0]);
        const QString place = QStringLiteral("%1:%2").arg(e.file).arg(e.line);
        const int first = find(number, kind);
        if (first >= 0) {
            report(e, QStringLiteral("%1 is defined again (first at %2); every reference finds the first")
                          .arg(nodeText(kind, number), nodes[first].place));
        }
        nodes.append({kind, number, place});
    }
}

void PlantCheck::checkExclusive()
{
    for (const ConfigEntry &e : entries(QStringLiteral("EXCLUSIVE"))) {
        for (const QString &word : words(e.rest, false)) {
            needInt(e, QStringLiteral("EXCLUSIVE"), word);
            if (find(toInt32(word), 1) < 0)
                report(e,
                       QStringLiteral("EXCLUSIVE: no %1; it is left out of the group").arg(nodeText(1, toInt32(word))));
        }
    }
}

void PlantCheck::checkConditions(const QString &key, bool prefixes)
{
    const QList<ConfigEntry> list = entries(key);
    // A reference as the building reads it: kind, number, and whether it
    // names a node that exists at that time.
    const auto resolve = [&](const ConfigEntry &e, const QString &word, int &kind, int &number) {
        QString text = word;
        kind = 1;
        if (prefixes) {
            if (text.startsWith(QLatin1Char('V')))
                text.remove(0, 1);
            if (text.startsWith(QLatin1Char('M'))) {
                text.remove(0, 1);
                kind = 2;
            }
        }
        needInt(e, key, text);
        number = toInt32(text);
        return find(number, kind) >= 0;
    };
    const auto missing = [](int kind, int number) {
        // Conditions are attached before any MFC is built.
        if (kind == 2)
            return QStringLiteral("MFC %1 cannot be named: conditions are attached before the MFCs are built")
                .arg(number);
        return QStringLiteral("no %1").arg(nodeText(kind, number));
    };

    for (qsizetype i = 0; i < list.size(); ++i) {
        const ConfigEntry &e = list.at(i);
        const qsizetype later = list.size() - i - 1;
        const QStringList w = words(e.rest);
        if (w.size() < 3) {
            report(e, QStringLiteral("%1 needs a valve and at least one reference with its state; %2")
                          .arg(key, stopText(key, later)));
            return;
        }
        int kind = 1;
        int number = 0;
        if (!resolve(e, w[0], kind, number)) {
            report(e, QStringLiteral("%1: %2; %3").arg(key, missing(kind, number), stopText(key, later)));
            return;
        }
        bool ended = false;
        for (qsizetype k = 1; k + 1 < w.size(); k += 2) {
            if (!resolve(e, w[k], kind, number)) {
                report(e, QStringLiteral("%1: %2; the condition ends before it").arg(key, missing(kind, number)));
                ended = true;
                break;
            }
            const QString state = w[k + 1].toUpper();
            if (state != QLatin1String("ON") && state != QLatin1String("OFF"))
                report(e,
                       QStringLiteral("%1: state \"%2\" is neither ON nor OFF; it is taken as OFF").arg(key, w[k + 1]));
        }
        if (!ended && w.size() % 2 == 0)
            report(e, QStringLiteral("%1: \"%2\" has no state and is ignored").arg(key, w.last()));
    }
}

void PlantCheck::checkConnections()
{
    // True when target can be reached from start by walking upstream.
    const std::function<bool(int, int, QSet<int> &)> feeds = [&](int start, int target, QSet<int> &visited) {
        if (start == target)
            return true;
        if (visited.contains(start))
            return false;
        visited.insert(start);
        for (int up : upstream.value(start)) {
            if (feeds(up, target, visited))
                return true;
        }
        return false;
    };

    for (const ConfigEntry &e : entries(QStringLiteral("CONNECT"))) {
        const QStringList it = items(e, 4);
        QStringList why;
        int ends[2] = {-1, -1};
        for (int side = 0; side < 2; ++side) {
            const QString &word = it[side * 2];
            const QString &numberText = it[side * 2 + 1];
            needInt(e, QStringLiteral("CONNECT"), numberText);
            const int kind = typeCode(word);
            if (kind == 3) {
                why << QStringLiteral("\"%1\" is not a node type (VALVE, MFC or NODE)").arg(word);
                continue;
            }
            ends[side] = find(toInt32(numberText), kind);
            if (ends[side] < 0)
                why << QStringLiteral("no %1").arg(nodeText(kind, toInt32(numberText)));
        }
        if (!why.isEmpty()) {
            report(e, QStringLiteral("CONNECT skipped: %1").arg(why.join(QStringLiteral(", "))));
            continue;
        }
        QSet<int> visited;
        if (feeds(ends[0], ends[1], visited)) {
            report(e, QStringLiteral("CONNECT skipped: it would close a loop between %1 and %2")
                          .arg(nodeText(nodes[ends[0]].kind, nodes[ends[0]].number),
                               nodeText(nodes[ends[1]].kind, nodes[ends[1]].number)));
            continue;
        }
        upstream[ends[1]].append(ends[0]);
    }
}

void PlantCheck::checkTimes(const QString &key)
{
    const QList<ConfigEntry> list = entries(key);
    for (qsizetype i = 0; i < list.size(); ++i) {
        const ConfigEntry &e = list.at(i);
        const qsizetype later = list.size() - i - 1;
        const QStringList w = words(e.rest);
        if (w.size() < 3) {
            report(e, QStringLiteral("%1 needs VALVE, a valve number and minutes; %2").arg(key, stopText(key, later)));
            return;
        }
        if (w[0].toUpper() != QLatin1String("VALVE")) {
            report(e, QStringLiteral("%1: \"%2\" is not VALVE; %3").arg(key, w[0], stopText(key, later)));
            return;
        }
        needInt(e, key, w[1]);
        if (find(toInt32(w[1]), 1) < 0) {
            report(e, QStringLiteral("%1: no %2; %3").arg(key, nodeText(1, toInt32(w[1])), stopText(key, later)));
            return;
        }
        needDecimal(e, key + QStringLiteral(" minutes"), w[2]);
        const double minutes = toDecimal(w[2]);
        const double msec = std::trunc(minutes * 60000.0);
        if (msec > 0 && msec < 1000)
            report(e,
                   QStringLiteral("%1 VALVE %2: %3 min is below one second; one second is used").arg(key, w[1], w[2]));
        (key == QLatin1String("TIME_TO_OPEN") ? opens : closes)[toInt32(w[1])] = {minutes, e.file, e.line};
    }
}

// Timed opening and closing together switch a valve back and forth; faster
// than once a minute it is worn out, not controlled.
void PlantCheck::checkCycles()
{
    const auto msec = [](double minutes) { return std::max(1000.0, std::trunc(minutes * 60000.0)); };
    for (auto open = opens.cbegin(); open != opens.cend(); ++open) {
        const auto close = closes.constFind(open.key());
        if (close == closes.cend() || !(open->minutes > 0) || !(close->minutes > 0) ||
            msec(open->minutes) + msec(close->minutes) >= 60000)
            continue;
        const TimeSet &later = open->file == close->file && open->line > close->line ? *open : *close;
        report(later.file, later.line,
               QStringLiteral("VALVE %1: opening after %2 min and closing after %3 min cycle it more often than "
                              "once a minute")
                   .arg(QString::number(open.key()), shortest(open->minutes), shortest(close->minutes)));
    }
}

void PlantCheck::checkBusNames()
{
    for (const ConfigEntry &e : entries(QStringLiteral("TELSO_CH"))) {
        const QStringList it = items(e, 3);
        needInt(e, QStringLiteral("TELSO_CH"), it[2]);
        const int kind = typeCode(it[1]);
        if (kind == 3)
            report(e, QStringLiteral(
                          "TELSO_CH %1: \"%2\" is not a node type (VALVE, MFC or NODE); the name is given to no node")
                          .arg(it[0], it[1]));
        else if (find(toInt32(it[2]), kind) < 0)
            report(e, QStringLiteral("TELSO_CH %1: no %2; the name is given to no node")
                          .arg(it[0], nodeText(kind, toInt32(it[2]))));
        else if (it[0].isEmpty())
            report(e, QStringLiteral("TELSO_CH without a name gives %1 none").arg(nodeText(kind, toInt32(it[2]))));
    }
}

void PlantCheck::checkRemoteAccess()
{
    // Bus names that reach a node, as the plant building gives them.
    QSet<QString> busNames;
    for (const ConfigEntry &e : entries(QStringLiteral("TELSO_CH"))) {
        QString name, type, number;
        takeItem(takeItem(takeItem(e.rest, name), type), number);
        if (!name.isEmpty() && typeCode(type) != 3 && find(toInt32(number), typeCode(type)) >= 0)
            busNames.insert(name);
    }

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
        QStringLiteral("TELSO_IP"),      QStringLiteral("TELSO_PORT"),      QStringLiteral("KEY_FILE_NAME"),
        QStringLiteral("NAME_ON_TELSO"), QStringLiteral("TELSO_RECONNECT"), QStringLiteral("LINK_TIMEOUT"),
        QStringLiteral("MFC_PANEL"),
        QStringLiteral("DISP_PANEL"),    QStringLiteral("VALVE_PANEL"),     QStringLiteral("DISP_WIDTH"),
        QStringLiteral("DISP_HEIGHT"),   QStringLiteral("VALVE"),           QStringLiteral("MFC"),
        QStringLiteral("NODE"),          QStringLiteral("CONNECT"),         QStringLiteral("TELSO_CH"),
        QStringLiteral("EXCLUSIVE"),     QStringLiteral("COND_TO_OPEN"),    QStringLiteral("COND_TO_CLOSE"),
        QStringLiteral("TIME_TO_OPEN"),  QStringLiteral("TIME_TO_CLOSE"),
        QStringLiteral("REMOTE_CLIENTS"), QStringLiteral("REMOTE_CONTROL"),
        QStringLiteral("CONFIRM_TIMEOUT"), QStringLiteral("DEVICE_POLL"),
    };
    for (const ConfigEntry &e : cfg.allEntries()) {
        if (!e.file.isEmpty() && !known.contains(e.key))
            report(e, QStringLiteral("unknown key \"%1\"; the entry is not used").arg(e.key));
    }
}
