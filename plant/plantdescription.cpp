#include "plant/plantdescription.h"

#include "config/config.h"
#include "config/numbers.h"

#include <QDebug>
#include <QSet>

#include <cmath>

namespace {

bool isWholeNumber(const QString &text)
{
    bool ok = false;
    text.toInt(&ok, 10);
    return ok;
}

// Keys read as words: cut at the first "#", blanks collapsed; double quotes
// are ordinary characters.
QStringList words(const QString &rest, bool cutComment = true)
{
    const QString text = (cutComment ? rest.section(QLatin1Char('#'), 0, 0) : rest).simplified();
    if (text.isEmpty())
        return {};
    // simplified() left single spaces between the words.
    return text.split(QLatin1Char(' '));
}

// A key that stops at its first failing entry ignores the later ones too.
QString stopText(const QString &key, qsizetype later)
{
    if (later == 0)
        return QStringLiteral("this entry is ignored");
    if (later == 1)
        return QStringLiteral("this and the 1 later %1 entry are ignored").arg(key);
    return QStringLiteral("this and the %1 later %2 entries are ignored").arg(later).arg(key);
}

} // namespace

// One entry being read, and what reading it had to take differently.
class PlantDescription::Reading
{
public:
    Reading(const ConfigEntry &entry, PlantDescription &plant) : entry(entry), plant(plant) {}

    void note(const QString &text) const { plant.notes.append({entry.file, entry.line, text}); }

    // The first count items of the entry; missing items are empty.
    QStringList items(int count) const
    {
        QStringList list;
        QString text = entry.rest;
        for (int i = 0; i < count; ++i) {
            QString item;
            ItemQuote quote;
            const QString before = text;
            text = takeItemQuietly(before, item, quote);
            if (quote != ItemQuote::Balanced) {
                note(quoteProblem(quote, item));
                if (!plant.quiet)
                    qDebug().noquote() << quoteWarning(quote, before);
            }
            list << item;
        }
        return list;
    }

    int wholeNumber(const QString &what, const QString &text) const
    {
        if (!text.isEmpty() && !isWholeNumber(text))
            note(QStringLiteral("%1: \"%2\" is not a whole number; 0 is used").arg(what, text));
        return toInt32(text);
    }

    double decimal(const QString &what, const QString &text) const
    {
        if (!text.isEmpty() && !isDecimal(text))
            note(QStringLiteral("%1: \"%2\" is not a number; 0 is used").arg(what, text));
        return toDecimal(text);
    }

    const ConfigEntry &entry;

private:
    PlantDescription &plant;
};

PlantDescription::PlantDescription(const Config &cfg, bool quiet) : quiet(quiet)
{
    readNodes(cfg, PlantNode::Valve);
    readExclusive(cfg);
    readConditions(cfg, false);
    readConditions(cfg, true);
    readNodes(cfg, PlantNode::Mfc);
    readNodes(cfg, PlantNode::Plain);
    readLinks(cfg);
    readTimes(cfg, false);
    readTimes(cfg, true);
    readBusNames(cfg);
}

int PlantDescription::find(int number, int kind) const
{
    return index.value(qMakePair(number, kind), -1);
}

QList<ConfigEntry> PlantDescription::entries(const Config &cfg, const QString &key) const
{
    QList<ConfigEntry> list;
    for (const ConfigEntry &e : cfg.allEntries()) {
        if (e.key == key)
            list << e;
    }
    return list;
}

void PlantDescription::addNode(const PlantNode &node)
{
    // Names need not be unique: a reference finds the first.
    if (!index.contains(qMakePair(node.number, int(node.kind))))
        index.insert(qMakePair(node.number, int(node.kind)), int(nodes.size()));
    nodes.append(node);
    upstream.append(QList<int>());
}

void PlantDescription::readNodes(const Config &cfg, PlantNode::Kind kind)
{
    const QString key = PlantNode::kindWord(kind);
    // Items after the name: VALVE column gas cf line hw channel x y w h flag;
    // MFC column gas cf label hw channel x y w h minFlowA minFlowB;
    // NODE gas cf label x y w h.
    const int count = kind == PlantNode::Valve ? 12 : kind == PlantNode::Mfc ? 13 : 8;
    for (const ConfigEntry &e : entries(cfg, key)) {
        const Reading r(e, *this);
        const QStringList it = r.items(count);
        const QString name = QStringLiteral("%1 %2").arg(key, it[0]);
        PlantNode node;
        node.kind = kind;
        node.file = e.file;
        node.line = e.line;
        node.name = it[0];
        if (it[0].isEmpty())
            r.note(QStringLiteral("%1 without a name; it counts as number 0").arg(key));
        node.number = r.wholeNumber(name + QStringLiteral(" name"), it[0]);
        const int at = kind == PlantNode::Plain ? 0 : 1; // plain nodes have no column
        node.column = at ? r.wholeNumber(name + QStringLiteral(" column"), it[1]) : node.number;
        node.gas = it[at + 1];
        node.cf = r.decimal(name + QStringLiteral(" cf"), it[at + 2]);
        node.label = it[at + 3];
        const int geometry = kind == PlantNode::Plain ? 4 : 7;
        if (kind != PlantNode::Plain) {
            node.hwNode = it[5];
            node.channel = it[6];
        }
        node.x = r.wholeNumber(name + QStringLiteral(" x"), it[geometry]);
        node.y = r.wholeNumber(name + QStringLiteral(" y"), it[geometry + 1]);
        node.w = r.wholeNumber(name + QStringLiteral(" w"), it[geometry + 2]);
        node.h = r.wholeNumber(name + QStringLiteral(" h"), it[geometry + 3]);
        if (kind == PlantNode::Valve) {
            node.flag = it[11];
            node.normallyOn = node.flag.toUpper() == QLatin1String("N_ON");
        } else if (kind == PlantNode::Mfc) {
            node.minFlowA = r.decimal(name + QStringLiteral(" minimum flow"), it[11]);
            node.minFlowB = r.decimal(name + QStringLiteral(" minimum flow factor"), it[12]);
            node.dummy = node.label == QLatin1String("DUMMY");
        }
        addNode(node);
    }
}

void PlantDescription::readExclusive(const Config &cfg)
{
    for (const ConfigEntry &e : entries(cfg, QStringLiteral("EXCLUSIVE"))) {
        const Reading r(e, *this);
        QList<int> group;
        for (const QString &word : words(e.rest, false)) {
            const int number = r.wholeNumber(QStringLiteral("EXCLUSIVE"), word);
            const int valve = find(number, PlantNode::Valve);
            if (valve < 0)
                r.note(QStringLiteral("EXCLUSIVE: no %1; it is left out of the group")
                           .arg(PlantNode::reference(PlantNode::Valve, number)));
            else
                group << valve;
        }
        exclusiveGroups << group;
    }
}

// A reference of COND_TO_OPEN may name an MFC ("M3", also "VM3") and may
// carry a "V" before a valve's number; COND_TO_CLOSE names valves by their
// plain numbers only. missing: why the reference names no node.
int PlantDescription::resolveTerm(const Reading &r, const QString &word, bool prefixes, QString &missing) const
{
    QString text = word;
    int kind = PlantNode::Valve;
    if (prefixes) {
        if (text.startsWith(QLatin1Char('V')))
            text.remove(0, 1);
        if (text.startsWith(QLatin1Char('M'))) {
            text.remove(0, 1);
            kind = PlantNode::Mfc;
        }
    }
    const int number = r.wholeNumber(r.entry.key, text);
    const int node = find(number, kind);
    if (node < 0 && kind == PlantNode::Mfc)
        missing =
            QStringLiteral("MFC %1 cannot be named: conditions are attached before the MFCs are built").arg(number);
    else if (node < 0)
        missing = QStringLiteral("no %1").arg(PlantNode::reference(kind, number));
    return node;
}

void PlantDescription::readConditions(const Config &cfg, bool closing)
{
    const QString key = closing ? QStringLiteral("COND_TO_CLOSE") : QStringLiteral("COND_TO_OPEN");
    const QList<ConfigEntry> list = entries(cfg, key);
    for (qsizetype i = 0; i < list.size(); ++i) {
        const Reading r(list.at(i), *this);
        const QString stop = stopText(key, list.size() - i - 1);
        const QStringList w = words(r.entry.rest);
        if (w.size() < 3) {
            r.note(QStringLiteral("%1 needs a valve and at least one reference with its state; %2").arg(key, stop));
            return;
        }
        QString missing;
        Condition cond;
        cond.target = resolveTerm(r, w[0], !closing, missing);
        if (cond.target < 0) {
            r.note(QStringLiteral("%1: %2; %3").arg(key, missing, stop));
            return;
        }
        bool ended = false;
        for (qsizetype k = 1; k + 1 < w.size(); k += 2) {
            const int node = resolveTerm(r, w[k], !closing, missing);
            if (node < 0) {
                r.note(QStringLiteral("%1: %2; the condition ends before it").arg(key, missing));
                ended = true;
                break;
            }
            const QString state = w[k + 1].toUpper();
            if (state != QLatin1String("ON") && state != QLatin1String("OFF"))
                r.note(QStringLiteral("%1: state \"%2\" is neither ON nor OFF; it is taken as OFF").arg(key, w[k + 1]));
            cond.terms.append({node, state == QLatin1String("ON")});
        }
        if (!ended && w.size() % 2 == 0)
            r.note(QStringLiteral("%1: \"%2\" has no state and is ignored").arg(key, w.last()));
        (closing ? conditionsToClose : conditionsToOpen).append(cond);
    }
}

void PlantDescription::readLinks(const Config &cfg)
{
    for (const ConfigEntry &e : entries(cfg, QStringLiteral("CONNECT"))) {
        const Reading r(e, *this);
        const QStringList it = r.items(4);
        QStringList why;
        int ends[2] = {-1, -1};
        for (int side = 0; side < 2; ++side) {
            const int number = r.wholeNumber(QStringLiteral("CONNECT"), it[side * 2 + 1]);
            const PlantNode::Kind kind = PlantNode::kindOfWord(it[side * 2]);
            if (kind == PlantNode::NoKind) {
                why << QStringLiteral("\"%1\" is not a node type (VALVE, MFC or NODE)").arg(it[side * 2]);
                continue;
            }
            ends[side] = find(number, kind);
            if (ends[side] < 0)
                why << QStringLiteral("no %1").arg(PlantNode::reference(kind, number));
        }
        if (!why.isEmpty()) {
            r.note(QStringLiteral("CONNECT skipped: %1").arg(why.join(QStringLiteral(", "))));
            links.append({ends[0], ends[1], false, e.rest});
            continue;
        }
        const Link link{ends[0], ends[1], feeds(ends[0], ends[1]), e.rest};
        if (link.closesLoop) {
            const PlantNode &child = nodes.at(link.child);
            const PlantNode &parent = nodes.at(link.parent);
            r.note(QStringLiteral("CONNECT skipped: it would close a loop between %1 and %2")
                       .arg(PlantNode::reference(child.kind, child.number),
                            PlantNode::reference(parent.kind, parent.number)));
        } else {
            upstream[link.parent].append(link.child);
        }
        links << link;
    }
}

// True when target can be reached from start by walking upstream.
bool PlantDescription::feeds(int start, int target) const
{
    QSet<int> seen{start};
    QList<int> todo{start};
    while (!todo.isEmpty()) {
        const int n = todo.takeLast();
        if (n == target)
            return true;
        for (int up : upstream.at(n)) {
            if (!seen.contains(up)) {
                seen.insert(up);
                todo.append(up);
            }
        }
    }
    return false;
}

void PlantDescription::readTimes(const Config &cfg, bool closing)
{
    const QString key = closing ? QStringLiteral("TIME_TO_CLOSE") : QStringLiteral("TIME_TO_OPEN");
    const QList<ConfigEntry> list = entries(cfg, key);
    for (qsizetype i = 0; i < list.size(); ++i) {
        const Reading r(list.at(i), *this);
        const QString stop = stopText(key, list.size() - i - 1);
        const QStringList w = words(r.entry.rest);
        if (w.size() < 3) {
            r.note(QStringLiteral("%1 needs VALVE, a valve number and minutes; %2").arg(key, stop));
            return;
        }
        if (w[0].toUpper() != QLatin1String("VALVE")) {
            r.note(QStringLiteral("%1: \"%2\" is not VALVE; %3").arg(key, w[0], stop));
            return;
        }
        const int number = r.wholeNumber(key, w[1]);
        const int valve = find(number, PlantNode::Valve);
        if (valve < 0) {
            r.note(QStringLiteral("%1: no %2; %3").arg(key, PlantNode::reference(PlantNode::Valve, number), stop));
            return;
        }
        const double minutes = r.decimal(key + QStringLiteral(" minutes"), w[2]);
        // A countdown runs for one second at least.
        const double msec = std::trunc(minutes * 60000.0);
        if (msec > 0 && msec < 1000)
            r.note(QStringLiteral("%1 VALVE %2: %3 min is below one second; one second is used").arg(key, w[1], w[2]));
        (closing ? timesToClose : timesToOpen).append({valve, minutes, r.entry.file, r.entry.line});
    }
}

void PlantDescription::readBusNames(const Config &cfg)
{
    for (const ConfigEntry &e : entries(cfg, QStringLiteral("TELSO_CH"))) {
        const Reading r(e, *this);
        const QStringList it = r.items(3);
        const int number = r.wholeNumber(QStringLiteral("TELSO_CH"), it[2]);
        const PlantNode::Kind kind = PlantNode::kindOfWord(it[1]);
        const int node = find(number, kind);
        if (kind == PlantNode::NoKind)
            r.note(QStringLiteral("TELSO_CH %1: \"%2\" is not a node type (VALVE, MFC or NODE); the name is given to "
                                  "no node")
                       .arg(it[0], it[1]));
        else if (node < 0)
            r.note(QStringLiteral("TELSO_CH %1: no %2; the name is given to no node")
                       .arg(it[0], PlantNode::reference(kind, number)));
        else if (it[0].isEmpty())
            r.note(QStringLiteral("TELSO_CH without a name gives %1 none").arg(PlantNode::reference(kind, number)));
        if (node < 0)
            unknownBusNames << e.rest;
        else if (!it[0].isEmpty())
            busNames.append({node, it[0]});
    }
}
