// Building the plant from the configuration: one step per configuration key,
// each seeing only the nodes made by the steps before it.
#include "window/body.h"

#include "bus/telso.h"
#include "config/config.h"
#include "config/numbers.h"
#include "config/takeitem.h"
#include "mfc/amfc.h"
#include "nodes/anode.h"
#include "valves/avalve.h"
#include "valves/conditions.h"
#include "config/writelog.h"

#include <QDebug>
#include <QGridLayout>
#include <QLineEdit>
#include <QRegularExpression>
#include <QSet>

namespace {

constexpr int maxPanelColumn = 255;

// The first count items of an entry's text; missing items are empty.
QStringList takeItems(QString text, int count)
{
    QStringList items;
    for (int i = 0; i < count; ++i) {
        QString item;
        text = takeItem(text, item);
        items << item;
    }
    return items;
}

// Keys read as words: cut at the first "#", blanks collapsed.
QStringList words(const QString &rest, bool cutComment = true)
{
    const QString text = (cutComment ? rest.section(QLatin1Char('#'), 0, 0) : rest).simplified();
    if (text.isEmpty())
        return {};
    return text.split(QRegularExpression(QStringLiteral("\\s+")));
}

int typeCode(const QString &word)
{
    if (word == QLatin1String("NODE"))
        return aNode::PlainNode;
    if (word == QLatin1String("VALVE"))
        return aNode::Valve;
    if (word == QLatin1String("MFC"))
        return aNode::MFC;
    return 3;
}

int panelColumn(const QString &text)
{
    const int column = toInt32(text);
    if (column < 0 || column > maxPanelColumn) {
        qDebug().noquote() << QStringLiteral("Panel column %1 out of range 0..%2, 0 used").arg(text).arg(maxPanelColumn);
        return 0;
    }
    return column;
}

// True when target can be reached from start by walking upstream.
bool feeds(aNode *start, aNode *target, QSet<aNode *> &seen)
{
    if (start == target)
        return true;
    if (seen.contains(start))
        return false;
    seen.insert(start);
    for (aNode *child : std::as_const(start->children)) {
        if (feeds(child, target, seen))
            return true;
    }
    return false;
}

} // namespace

void Body::makeValves()
{
    const QStringList entries = config.entries(QStringLiteral("VALVE"));
    for (const QString &rest : entries) {
        const QStringList it = takeItems(rest, 12);
        const int column = panelColumn(it[1]);
        auto *valve = new aValve(it[0], column, it[2], toDecimal(it[3]), it[4], it[5], it[6], toInt32(it[7]),
                                 toInt32(it[8]), toInt32(it[9]), toInt32(it[10]), bus, it[11]);
        nodes.append(valve);
        valveGrid->addWidget(valve, 0, column);
        connect(valve, &aNode::newStat, this, &Body::record);
        connect(valve, &aValve::triedToOpenExclusiveValves, this, &Body::vCtrlMsg);
    }
}

void Body::setExclusiveGroups()
{
    const QStringList entries = config.entries(QStringLiteral("EXCLUSIVE"));
    for (const QString &rest : entries) {
        QList<aValve *> group;
        for (const QString &word : words(rest, false))
            group << static_cast<aValve *>(findNode(toInt32(word), aNode::Valve));
        for (int i = 0; i < group.size(); ++i) {
            if (!group[i])
                continue;
            for (int j = 0; j < group.size(); ++j) {
                // A valve named twice in one group is not its own partner.
                if (j != i && group[j] && group[j] != group[i])
                    group[i]->exclusiveValves.append(group[j]);
            }
        }
    }
}

aNode *Body::findOpenReference(const QString &word) const
{
    QString text = word;
    if (text.startsWith(QLatin1Char('V')))
        text.remove(0, 1);
    int type = aNode::Valve;
    if (text.startsWith(QLatin1Char('M'))) {
        text.remove(0, 1);
        type = aNode::MFC;
    }
    return findNode(toInt32(text), type);
}

void Body::setConditionsToOpen()
{
    readConditions(QStringLiteral("COND_TO_OPEN"), QStringLiteral("Open"),
                   [this](const QString &word) { return findOpenReference(word); });
}

void Body::setConditionsToClose()
{
    readConditions(QStringLiteral("COND_TO_CLOSE"), QStringLiteral("Close"),
                   [this](const QString &word) { return findNode(toInt32(word), aNode::Valve); });
}

void Body::readConditions(const QString &key, const QString &what, const std::function<aNode *(const QString &)> &resolve)
{
    const bool closing = what == QLatin1String("Close");
    const QStringList entries = config.entries(key);
    for (const QString &rest : entries) {
        const QStringList w = words(rest);
        if (w.size() < 3)
            return;
        aNode *target = resolve(w[0]);
        if (!target)
            return;
        Condition cond;
        for (int k = 1; k + 1 < w.size(); k += 2) {
            aNode *node = resolve(w[k]);
            if (!node)
                break;
            auto *term = new CondTerm{node, w[k + 1].toUpper() == QLatin1String("ON")};
            condTerms.append(term);
            cond.append(term);
        }
        if (closing) {
            qDebug().noquote() << QStringLiteral("Set::") + target->label + QLatin1Char(' ') + describeCondition(cond);
            target->condToClose.append(cond);
        } else {
            target->condToOpen.append(cond);
        }
        writeLog(QStringLiteral("Setting a condition to %1:: for %2 : %3").arg(what, target->label, describeTerms(cond)));
    }
}

void Body::makeMfcs()
{
    const QStringList entries = config.entries(QStringLiteral("MFC"));
    for (const QString &rest : entries) {
        const QStringList it = takeItems(rest, 13);
        const bool dummy = it[4] == QLatin1String("DUMMY");
        const int column = panelColumn(it[1]);
        auto *mfc = new aMFC(it[0], column, it[2], toDecimal(it[3]), dummy ? QStringLiteral("     ") : it[4], it[5],
                             it[6], toInt32(it[7]), toInt32(it[8]), toInt32(it[9]), toInt32(it[10]),
                             toDecimal(it[11]), toDecimal(it[12]), bus);
        if (dummy)
            mfc->infoFrame()->hide();
        nodes.append(mfc);
        mfcGrid->addWidget(mfc, 0, column);
        connect(mfc, &aMFC::newValue, this, &Body::record);
    }
}

void Body::makeNodes()
{
    const QStringList entries = config.entries(QStringLiteral("NODE"));
    for (const QString &rest : entries) {
        const QStringList it = takeItems(rest, 8);
        auto *node = new aNode(it[0], toInt32(it[0]), aNode::PlainNode, it[1], toDecimal(it[2]), it[3], QString(),
                               QString(), toInt32(it[4]), toInt32(it[5]), toInt32(it[6]), toInt32(it[7]), bus);
        nodes.append(node);
    }
}

void Body::makeConnections()
{
    const QStringList entries = config.entries(QStringLiteral("CONNECT"));
    for (const QString &rest : entries) {
        const QStringList it = takeItems(rest, 4);
        aNode *child = findNode(toInt32(it[1]), typeCode(it[0]));
        aNode *parent = findNode(toInt32(it[3]), typeCode(it[2]));
        if (!child || !parent) {
            qDebug().noquote() << QStringLiteral("CONNECT skipped, no such node: ") + rest.simplified();
            continue;
        }
        // Every walk over the tree recurses without a guard: a loop must
        // never get in.
        QSet<aNode *> seen;
        if (feeds(child, parent, seen)) {
            qDebug().noquote() << QStringLiteral("CONNECT skipped, it would close a loop between %1 %2 and %3 %4")
                                      .arg(child->typeName(), child->nodeName, parent->typeName(), parent->nodeName);
            continue;
        }
        parent->addChild(child);
        child->addParent(parent);
    }
}

void Body::setTimes()
{
    // Each key stops at its first entry that fails; the other key goes on.
    const auto apply = [this](const QString &key, const QString &what, auto setTime, auto field) {
        const QStringList entries = config.entries(key);
        for (const QString &rest : entries) {
            const QStringList w = words(rest);
            if (w.size() < 3 || w[0].toUpper() != QLatin1String("VALVE"))
                return;
            auto *valve = static_cast<aValve *>(findNode(toInt32(w[1]), aNode::Valve));
            if (!valve)
                return;
            const double minutes = toDecimal(w[2]);
            (valve->*setTime)(minutes);
            (valve->*field)()->setVisible(true);
            writeLog(QStringLiteral("Setting a time to %1:: for %2 : %3").arg(what, valve->label, shortest(minutes)));
        }
    };
    apply(QStringLiteral("TIME_TO_OPEN"), QStringLiteral("open"), &aNode::setTimeToOpen, &aValve::timeToOpenField);
    apply(QStringLiteral("TIME_TO_CLOSE"), QStringLiteral("close"), &aNode::setTimeToClose, &aValve::timeToCloseField);
}

void Body::setBusChannels()
{
    const QStringList entries = config.entries(QStringLiteral("TELSO_CH"));
    for (const QString &rest : entries) {
        const QStringList it = takeItems(rest, 3);
        aNode *node = findNode(toInt32(it[2]), typeCode(it[1]));
        if (!node) {
            qDebug().noquote() << QStringLiteral("TELSO_CH skipped, no such node: ") + rest.simplified();
            continue;
        }
        if (!it[0].isEmpty())
            node->busNames.append(it[0]);
    }
}
