#include "nodes/anode.h"

// Interface stub: gas routing is implemented on its own branch.
bool aNode::findGasPath(const QString &, aNode *, QList<aNode *> &) { return false; }
bool aNode::applyGasRoute(const QList<aNode *> &, const QString &, double &) { return false; }
GasMixture aNode::gasShares(aNode *) { return {}; }
GasMixture aNode::mergeGasShares(const GasMixture &) { return {}; }
QString aNode::nowGasText() { return QString(); }
void aNode::setPurgeTree(aNode *, double) {}
void aNode::AskSetNewGas(TMsg) {}
void aNode::AskGetNowGas(TMsg) {}
void aNode::AskSetPurge(TMsg) {}
