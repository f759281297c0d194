#include "window/plantbuilder.h"

#include "config/numbers.h"
#include "config/writelog.h"
#include "mfc/amfc.h"
#include "nodes/anode.h"
#include "nodes/condterm.h"
#include "valves/avalve.h"
#include "valves/conditions.h"

#include <QDebug>
#include <QGridLayout>
#include <QLineEdit>

namespace {

// Panel grids would allocate without end for a column far off any sensible layout.
constexpr int maxPanelColumn = 255;

int panelColumn(int column)
{
    if (column < 0 || column > maxPanelColumn) {
        qDebug().noquote()
            << QStringLiteral("Panel column %1 out of range 0..%2, 0 used").arg(column).arg(maxPanelColumn);
        return 0;
    }
    return column;
}

} // namespace

PlantBuilder::PlantBuilder(const PlantDescription &plant, Telso *bus) : plant(plant), bus(bus) {}

PlantBuilder::~PlantBuilder()
{
    // Valves and MFCs go with their panels.
    for (aNode *node : std::as_const(all)) {
        node->condToOpen.clear();
        node->condToClose.clear();
    }
    qDeleteAll(terms);
    qDeleteAll(plainNodes);
}

void PlantBuilder::build(QGridLayout *valveGrid, QGridLayout *mfcGrid)
{
    makeValves(valveGrid);
    setExclusiveGroups();
    setConditions(false);
    setConditions(true);
    makeMfcs(mfcGrid);
    makeNodes();
    makeConnections();
    setTimes(false);
    setTimes(true);
    setBusChannels();
}

aNode *PlantBuilder::findNode(int number, int type) const
{
    return all.value(plant.find(number, type), nullptr);
}

void PlantBuilder::makeValves(QGridLayout *grid)
{
    for (const PlantNode &n : plant.nodes) {
        if (n.kind != PlantNode::Valve)
            continue;
        const int column = panelColumn(n.column);
        auto *valve =
            new aValve(n.name, column, n.gas, n.cf, n.label, n.hwNode, n.channel, n.x, n.y, n.w, n.h, bus, n.flag);
        all.append(valve);
        valveList.append(valve);
        grid->addWidget(valve, 0, column);
    }
}

void PlantBuilder::setExclusiveGroups()
{
    for (const QList<int> &group : plant.exclusiveGroups) {
        for (int i = 0; i < group.size(); ++i) {
            for (int j = 0; j < group.size(); ++j) {
                // A valve named twice in one group is not its own partner.
                if (j != i && group[j] != group[i])
                    valveList[group[i]]->exclusiveValves.append(valveList[group[j]]);
            }
        }
    }
}

void PlantBuilder::setConditions(bool closing)
{
    const QString what = closing ? QStringLiteral("Close") : QStringLiteral("Open");
    for (const PlantDescription::Condition &c : closing ? plant.conditionsToClose : plant.conditionsToOpen) {
        Condition cond;
        for (const PlantDescription::Term &t : c.terms) {
            terms.append(new CondTerm{all[t.node], t.flowing});
            cond.append(terms.last());
        }
        aNode *target = all[c.target];
        if (closing) {
            qDebug().noquote() << QStringLiteral("Set::") + target->label + QLatin1Char(' ') + describeCondition(cond);
            target->condToClose.append(cond);
        } else {
            target->condToOpen.append(cond);
        }
        writeLog(
            QStringLiteral("Setting a condition to %1:: for %2 : %3").arg(what, target->label, describeTerms(cond)));
    }
}

void PlantBuilder::makeMfcs(QGridLayout *grid)
{
    for (const PlantNode &n : plant.nodes) {
        if (n.kind != PlantNode::Mfc)
            continue;
        const int column = panelColumn(n.column);
        auto *mfc = new aMFC(n.name, column, n.gas, n.cf, n.dummy ? QStringLiteral("     ") : n.label, n.hwNode,
                             n.channel, n.x, n.y, n.w, n.h, n.minFlowA, n.minFlowB, bus);
        if (n.dummy)
            mfc->infoFrame()->hide();
        all.append(mfc);
        mfcList.append(mfc);
        grid->addWidget(mfc, 0, column);
    }
}

void PlantBuilder::makeNodes()
{
    for (const PlantNode &n : plant.nodes) {
        if (n.kind != PlantNode::Plain)
            continue;
        auto *node = new aNode(n.name, n.number, aNode::PlainNode, n.gas, n.cf, n.label, QString(), QString(), n.x, n.y,
                               n.w, n.h, bus);
        all.append(node);
        plainNodes.append(node);
    }
}

void PlantBuilder::makeConnections()
{
    for (const PlantDescription::Link &link : plant.links) {
        if (!link.namesNodes()) {
            qDebug().noquote() << QStringLiteral("CONNECT skipped, no such node: ") + link.rest.simplified();
            continue;
        }
        aNode *child = all[link.child];
        aNode *parent = all[link.parent];
        if (link.closesLoop) {
            qDebug().noquote() << QStringLiteral("CONNECT skipped, it would close a loop between %1 %2 and %3 %4")
                                      .arg(child->typeName(), child->nodeName, parent->typeName(), parent->nodeName);
            continue;
        }
        parent->addChild(child);
        child->addParent(parent);
    }
}

void PlantBuilder::setTimes(bool closing)
{
    for (const PlantDescription::Time &t : closing ? plant.timesToClose : plant.timesToOpen) {
        aValve *valve = valveList[t.valve];
        if (closing) {
            valve->setTimeToClose(t.minutes);
            valve->showTimeField(valve->timeToCloseField());
        } else {
            valve->setTimeToOpen(t.minutes);
            valve->showTimeField(valve->timeToOpenField());
        }
        writeLog(
            QStringLiteral("Setting a time to %1:: for %2 : %3")
                .arg(closing ? QStringLiteral("close") : QStringLiteral("open"), valve->label, shortest(t.minutes)));
    }
}

void PlantBuilder::setBusChannels()
{
    for (const QString &rest : plant.unknownBusNames)
        qDebug().noquote() << QStringLiteral("TELSO_CH skipped, no such node: ") + rest.simplified();
    for (const PlantDescription::BusName &b : plant.busNames)
        all[b.node]->busNames.append(b.name);
}
