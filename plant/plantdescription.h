#pragma once

#include "config/configproblem.h"
#include "plant/plantnode.h"

#include <QHash>
#include <QList>
#include <QPair>
#include <QStringList>

class Config;
struct ConfigEntry;

// The plant as the configuration describes it: the VALVE, MFC, NODE,
// CONNECT, TELSO_CH, EXCLUSIVE, COND_* and TIME_* entries read once, with
// every reference resolved as the plant is built. The entries are read in
// the order of building, and a reference sees only the nodes read before it
// (conditions are read before any MFC or plain node exists). Entries that
// cannot be applied are left out, and what reading had to skip or take
// differently is noted in the configuration check's words. Node indices are
// positions in nodes.
class PlantDescription
{
public:
    // A CONNECT entry: child feeds parent. It is applied when it names two
    // nodes and closes no loop (every walk over the plant recurses).
    struct Link
    {
        int child = -1;
        int parent = -1;
        bool closesLoop = false;
        QString rest;

        bool namesNodes() const { return child >= 0 && parent >= 0; }
        bool applies() const { return namesNodes() && !closesLoop; }
    };
    struct Term
    {
        int node = -1;
        bool flowing = false;
    };
    // All terms must hold; an empty condition always holds.
    struct Condition
    {
        int target = -1;
        QList<Term> terms;
    };
    struct Time
    {
        int valve = -1;
        double minutes = 0.0;
        QString file;
        int line = 0;
    };
    struct BusName
    {
        int node = -1;
        QString name;
    };

    // quiet: items with unbalanced quotes are only noted, not also written
    // to the debug output.
    explicit PlantDescription(const Config &cfg, bool quiet = false);

    // The first node of that number and kind; -1 when there is none.
    int find(int number, int kind) const;

    // Valves, then MFCs, then plain nodes, each in file order.
    QList<PlantNode> nodes;
    // Per node, the nodes that feed it through applied links, in file order.
    QList<QList<int>> upstream;
    QList<Link> links;
    // The texts of TELSO_CH entries that name no node.
    QStringList unknownBusNames;
    // The valves each EXCLUSIVE entry names; words that name none left out.
    QList<QList<int>> exclusiveGroups;
    QList<Condition> conditionsToOpen;
    QList<Condition> conditionsToClose;
    QList<Time> timesToOpen;
    QList<Time> timesToClose;
    QList<BusName> busNames;
    QList<ConfigProblem> notes;

private:
    class Reading;

    QList<ConfigEntry> entries(const Config &cfg, const QString &key) const;
    void addNode(const PlantNode &node);
    void readNodes(const Config &cfg, PlantNode::Kind kind);
    void readExclusive(const Config &cfg);
    void readConditions(const Config &cfg, bool closing);
    int resolveTerm(const Reading &r, const QString &word, bool prefixes, QString &missing) const;
    void readLinks(const Config &cfg);
    bool feeds(int start, int target) const;
    void readTimes(const Config &cfg, bool closing);
    void readBusNames(const Config &cfg);

    bool quiet = false;
    QHash<QPair<int, int>, int> index;
};
