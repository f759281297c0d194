#pragma once

#include "plant/plantnode.h"

#include <QList>
#include <QStringList>

#include <functional>

class Config;

// The gas-line tree of the configuration as the hardware is piped: the
// plant's valves, MFCs and plain junctions, read as the panel reads them,
// and every CONNECT line that names two nodes. A line the panel refuses
// because it would close a loop is a pipe all the same; walks cut loops.
class PlantTree
{
public:
    void read(const Config &config);

    const QList<PlantNode> &nodes() const { return list; }

    // True when some path from node index up to a source (a node without
    // children) passes only nodes for which isOpen holds. The node itself is
    // not asked: an MFC's own set value decides its flow elsewhere.
    bool gasReaches(int index, const std::function<bool(const PlantNode &)> &isOpen) const;

    // CONNECT lines that could not be applied, for the transcript.
    const QStringList &problems() const { return skipped; }

private:
    bool passes(int index, const std::function<bool(const PlantNode &)> &isOpen, QList<int> &path) const;
    bool reachesFromChildren(int index, const std::function<bool(const PlantNode &)> &isOpen, QList<int> &path) const;

    QList<PlantNode> list;
    // Per node, the nodes that feed it (upstream).
    QList<QList<int>> children;
    QStringList skipped;
};
