#include "nodes/anode.h"

// Interface stub: the node model is implemented on its own branch.
aNode::aNode(const QString &nodeName, int panelColumn, int nodeKind, const QString &gas, double cf,
             const QString &label, const QString &hwNode, const QString &channel, int x, int y, int w, int h,
             Telso *telso)
    : telso(telso), hwNode(hwNode), channel(channel), nodeName(nodeName), panelColumn(panelColumn),
      nodeKind(nodeKind), label(label), gas(gas), x(x), y(y), w(w), h(h), cf(cf)
{
}
aNode::~aNode() = default;
QString aNode::typeName() const { return QStringLiteral("Node"); }
bool aNode::isFlowing() { return false; }
bool aNode::isOn() const { return stat; }
void aNode::doubleClickAction() {}
QString aNode::statusText() const { return QString(); }
void aNode::addChild(aNode *) {}
void aNode::addParent(aNode *) {}
int aNode::indexOfChild(aNode *) const { return -1; }
int aNode::indexOfParent(aNode *) const { return -1; }
void aNode::collectSubtree(aNode *, QList<aNode *> &) {}
void aNode::setTimeToOpen(double) {}
void aNode::setTimeToClose(double) {}
void aNode::restartOpenTimer() {}
void aNode::restartCloseTimer() {}
void aNode::stopOpenTimer() {}
void aNode::stopCloseTimer() {}
void aNode::newFromStat() {}
void aNode::connected() {}
void aNode::connected0() {}
void aNode::askStat(TMsg) {}
