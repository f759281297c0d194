#include "nodes/anode.h"

#include "config/numbers.h"

#include "bus/telso.h"
#include "mfc/amfc.h"
#include "nodes/remoteaccess.h"
#include "valves/avalve.h"

// Requests that name one of our bus names are ours; the others are for
// another node that received the same broadcast.
static bool isFor(const aNode *node, const TMsg &msg)
{
    return node->busNames.contains(msg.toSub);
}

bool aNode::mayChange(const TMsg &msg)
{
    if (!access)
        return true;
    const QString refusal = access->admit(msg);
    if (refusal.isEmpty())
        return true;
    telso->reply(msg, refusal);
    return false;
}

bool aNode::findGasPath(const QString &gas, aNode *n, QList<aNode *> &route)
{
    if (n->children.isEmpty()) {
        if (n->gas != gas)
            return false;
        route.append(n);
        return true;
    }
    route.append(n);
    for (aNode *child : std::as_const(n->children)) {
        if (findGasPath(gas, child, route))
            return true;
    }
    route.removeLast();
    return false;
}

bool aNode::applyGasRoute(const QList<aNode *> &route, const QString &flowText, double &applied)
{
    const double requested = toDecimal(flowText);
    applied = requested;
    bool limited = false;
    for (aNode *n : route) {
        if (n->nodeKind == Valve) {
            if (auto *valve = qobject_cast<aValve *>(n))
                valve->vOpen(requested != 0);
        } else if (n->nodeKind == MFC) {
            if (auto *mfc = qobject_cast<aMFC *>(n)) {
                const double kept = mfc->setSetPointText(flowText);
                if (applied > kept) {
                    applied = kept;
                    limited = true;
                }
            }
        }
    }
    return limited;
}

GasMixture aNode::gasShares(aNode *n)
{
    GasMixture result;
    if (n->children.isEmpty()) {
        // A source is reported as it is, one entry per configured gas.
        const double amount = n->isOn() ? 1.0 : 0.0;
        for (const QString &g : std::as_const(n->gasList)) {
            GasShare share;
            share.amount = amount;
            share.gas = g;
            result.append(share);
        }
        return result;
    }
    for (aNode *child : std::as_const(n->children))
        result += gasShares(child);

    // An MFC turns the proportions into flows, by what it measures.
    if (n->nodeKind == MFC && !result.isEmpty()) {
        if (auto *mfc = qobject_cast<aMFC *>(n)) {
            double total = 0.0;
            for (const GasShare &share : std::as_const(result))
                total += share.amount;
            if (total > 0) {
                const double flow = mfc->shownFlow();
                for (GasShare &share : result)
                    share.amount = share.amount / total * flow;
            }
        }
    }
    return mergeGasShares(result);
}

GasMixture aNode::mergeGasShares(const GasMixture &shares)
{
    GasMixture work = shares;
    GasMixture merged;
    for (qsizetype i = 0; i < work.size(); ++i) {
        if (!work.at(i).valid)
            continue;
        GasShare share = work.at(i);
        for (qsizetype j = i + 1; j < work.size(); ++j) {
            if (work.at(j).valid && work.at(j).gas == share.gas) {
                share.amount += work.at(j).amount;
                work[j].valid = false;
            }
        }
        if (share.amount > 0)
            merged.append(share);
    }
    return merged;
}

QString aNode::nowGasText()
{
    QStringList pieces;
    const GasMixture shares = gasShares(this);
    for (const GasShare &share : shares)
        pieces.append(QStringLiteral("%1 %2").arg(shortest(share.amount), share.gas));
    return pieces.join(QLatin1Char(' '));
}

void aNode::setPurgeTree(aNode *n, double magnification)
{
    if (n->nodeKind == MFC) {
        if (auto *mfc = qobject_cast<aMFC *>(n)) {
            mfc->setPurge(magnification);
            mfc->updateSetPoint();
        }
    }
    for (aNode *child : std::as_const(n->children))
        setPurgeTree(child, magnification);
}

void aNode::AskSetNewGas(const TMsg &msg)
{
    if (!isFor(this, msg) || !mayChange(msg))
        return;
    if (msg.paramList.size() < 2) {
        telso->reply(msg, QStringLiteral("Er:Less parameters"));
        return;
    }
    const QString gasName = msg.paramList.at(0);
    const QString flowText = msg.paramList.at(1);
    QList<aNode *> route;
    if (!findGasPath(gasName, this, route)) {
        telso->reply(msg, QStringLiteral("Er:this channel cannot flow the gas [%1]").arg(gasName));
        return;
    }
    double applied = 0.0;
    const bool limited = applyGasRoute(route, flowText, applied);
    // Only a reduction is reported as a number; otherwise the request's own text.
    telso->reply(msg, QStringLiteral("Ok: %1").arg(limited ? shortest(applied) : flowText));
}

void aNode::AskGetNowGas(const TMsg &msg)
{
    if (!isFor(this, msg))
        return;
    QString text = nowGasText();
    if (text.isEmpty())
        text = QStringLiteral("None");
    telso->reply(msg, QStringLiteral("@%1 %2").arg(msg.cmd, text));
}

void aNode::AskSetPurge(const TMsg &msg)
{
    if (!isFor(this, msg) || !mayChange(msg))
        return;
    if (msg.paramList.isEmpty()) {
        telso->reply(msg, QStringLiteral("Er:Less parameters"));
        return;
    }
    setPurgeTree(this, toDecimal(msg.paramList.first()));
    telso->reply(msg, QStringLiteral("Ok:"));
}
