#pragma once

#include "plant/plantdescription.h"

#include <QList>

class aMFC;
class aNode;
class aValve;
class QGridLayout;
class Telso;
struct CondTerm;

// Builds the plant's nodes from its description, step by step in the order
// of the configuration's keys: valves (placed in the valve panel), exclusive
// groups, conditions, MFCs (placed in the MFC panel), plain nodes, links,
// times and bus names. Owns what has no parent widget: the plain nodes and
// the conditions' terms.
class PlantBuilder
{
public:
    PlantBuilder(const PlantDescription &plant, Telso *bus);
    ~PlantBuilder();

    void build(QGridLayout *valveGrid, QGridLayout *mfcGrid);

    // Every node in the order of the description: valves, MFCs, plain nodes.
    const QList<aNode *> &nodes() const { return all; }
    const QList<aValve *> &valves() const { return valveList; }
    const QList<aMFC *> &mfcs() const { return mfcList; }
    // The first node whose name, as a whole number, is number, of that kind.
    aNode *findNode(int number, int type) const;

private:
    Q_DISABLE_COPY(PlantBuilder)

    void makeValves(QGridLayout *grid);
    void setExclusiveGroups();
    void setConditions(bool closing);
    void makeMfcs(QGridLayout *grid);
    void makeNodes();
    void makeConnections();
    void setTimes(bool closing);
    void setBusChannels();

    const PlantDescription plant;
    Telso *bus = nullptr;
    QList<aNode *> all;
    // Valves come first among the nodes: a valve's index is its place here.
    QList<aValve *> valveList;
    QList<aMFC *> mfcList;
    QList<aNode *> plainNodes;
    QList<CondTerm *> terms;
};
