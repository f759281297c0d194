#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

class Config;

// One valve, MFC or plain junction of the plant as the hardware sees it.
struct PlantNode
{
    enum Kind { Plain = 0, Valve = 1, Mfc = 2 };

    int kind = Plain;
    QString name;
    QString hwNode;
    QString channel;
    bool normallyOn = false;
    QList<int> children; // upstream: the lines that feed this node

    // Where an MFC's device answers: "node.channel", or the node alone.
    QString address() const;
};

// The gas-line tree of the configuration: the VALVE, MFC and NODE lines in
// the panel's order and the CONNECT lines between them.
class PlantTree
{
public:
    void read(const Config &config);

    const QList<PlantNode> &nodes() const { return list; }
    // Index of the first node whose name, read as a whole number, is number
    // and whose kind matches; -1 when there is none.
    int find(int number, int kind) const;
    // Kind of a CONNECT type word; -1 for a word that names no kind.
    static int kindOfWord(const QString &word);

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
    QStringList skipped;
};
