#include "nodes/anode.h"

#include "config/numbers.h"

#include "bus/telso.h"
#include "bus/remoteaccess.h"

#include <QSet>

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

// deadEnds: nodes already searched without finding the gas; a node fed
// through many paths is searched once.
static bool findGasPath(const QString &gas, aNode *n, QList<aNode *> &route, QSet<const aNode *> &deadEnds)
{
    if (n->children.isEmpty()) {
        if (n->gas != gas)
            return false;
        route.append(n);
        return true;
    }
    if (deadEnds.contains(n))
        return false;
    route.append(n);
    for (aNode *child : std::as_const(n->children)) {
        if (findGasPath(gas, child, route, deadEnds))
            return true;
    }
    route.removeLast();
    deadEnds.insert(n);
    return false;
}

bool aNode::findGasPath(const QString &gas, aNode *n, QList<aNode *> &route)
{
    QSet<const aNode *> deadEnds;
    return ::findGasPath(gas, n, route, deadEnds);
}

bool aNode::applyGasRoute(const QList<aNode *> &route, const QString &flowText, double &applied)
{
    applied = toDecimal(flowText);
    bool limited = false;
    for (aNode *n : route) {
        double kept = 0.0;
        if (n->takeRouteFlow(flowText, kept) && applied > kept) {
            applied = kept;
            limited = true;
        }
    }
    return limited;
}

// Adds n's mixture to the end of out; the subtree's shares are scaled and
// merged where they lie, so that one list serves the whole walk.
void aNode::appendGasShares(aNode *n, FlowMemo &memo, GasMixture &out)
{
    const bool kept = memo.everyMixture || n->parents.size() > 1;
    if (kept) {
        const auto known = memo.mixture.constFind(n);
        if (known != memo.mixture.constEnd()) {
            out += *known;
            return;
        }
    }
    const qsizetype from = out.size();
    if (n->children.isEmpty()) {
        // A source is reported as it is, one entry per configured gas.
        const double amount = n->isOn() ? 1.0 : 0.0;
        for (const QString &g : std::as_const(n->gasList)) {
            GasShare share;
            share.amount = amount;
            share.gas = g;
            out.append(std::move(share));
        }
    } else {
        for (aNode *child : std::as_const(n->children))
            appendGasShares(child, memo, out);
        n->scaleMixture(out, from);
        mergeGasShares(out, from);
    }
    if (kept)
        memo.mixture.insert(n, out.mid(from));
}

// One entry per gas from index from on, in the order each gas first
// appears; gases that add up to nothing are left out.
void aNode::mergeGasShares(GasMixture &shares, qsizetype from)
{
    qsizetype kept = from;
    for (qsizetype i = from; i < shares.size(); ++i) {
        GasShare &share = shares[i];
        if (!share.valid)
            continue;
        for (qsizetype j = i + 1; j < shares.size(); ++j) {
            GasShare &same = shares[j];
            if (same.valid && same.gas == share.gas) {
                share.amount += same.amount;
                same.valid = false;
            }
        }
        if (share.amount > 0) {
            // kept <= i: only entries already taken in are overwritten.
            if (kept != i)
                shares[kept] = std::move(share);
            ++kept;
        }
    }
    shares.resize(kept);
}

QString aNode::nowGasText()
{
    FlowMemo memo;
    memo.everyMixture = false;
    return nowGasText(memo);
}

QString aNode::nowGasText(FlowMemo &memo)
{
    QString text;
    GasMixture shares;
    // Room for a line's few gases, taken once.
    shares.reserve(8);
    appendGasShares(this, memo, shares);
    for (const GasShare &share : shares) {
        if (!text.isEmpty())
            text += QLatin1Char(' ');
        text += shortest(share.amount);
        text += QLatin1Char(' ');
        text += share.gas;
    }
    return text;
}

void aNode::setPurgeTree(aNode *n, double magnification)
{
    n->takePurge(magnification);
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
    const QString answer = QStringLiteral("Ok: %1").arg(limited ? shortest(applied) : flowText);
    telso->reply(msg, answer);
    emit requestCarriedOut(msg.from, (msg.cmd + QLatin1Char(' ') + msg.params).trimmed(), answer);
}

void aNode::AskGetNowGas(const TMsg &msg)
{
    if (!isFor(this, msg))
        return;
    QString text = nowGasText();
    if (text.isEmpty())
        text = QStringLiteral("None");
    telso->reply(msg, {u"@", msg.cmd, u" ", text});
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
    emit requestCarriedOut(msg.from, (msg.cmd + QLatin1Char(' ') + msg.params).trimmed(), QStringLiteral("Ok:"));
}
