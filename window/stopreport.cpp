#include "window/stopreport.h"

#include "nodes/anode.h"

StopReport::StopReport(QObject *parent) : QObject(parent) {}

void StopReport::start(const QList<aNode *> &nodes)
{
    for (const QMetaObject::Connection &c : std::as_const(connections))
        disconnect(c);
    connections.clear();
    order = nodes;
    waiting.clear();
    unconfirmed.clear();
    stillOpen.clear();
    for (aNode *node : nodes) {
        if (node->confirmationPending()) {
            waiting << node;
            connections << connect(node, &aNode::confirmationSettled, this,
                                   [this, node](bool confirmed) { settled(node, confirmed); });
        } else if (node->nodeKind == aNode::Valve && node->isOn()) {
            // Its conditions to close refused: no command went out.
            stillOpen << node;
        }
    }
    if (waiting.isEmpty())
        finish();
    else
        emit report(tr("Stop All: waiting for every valve and MFC to confirm"));
}

void StopReport::settled(aNode *node, bool confirmed)
{
    if (!waiting.removeOne(node))
        return;
    if (!confirmed)
        unconfirmed << node;
    if (waiting.isEmpty())
        finish();
}

void StopReport::finish()
{
    for (const QMetaObject::Connection &c : std::as_const(connections))
        disconnect(c);
    connections.clear();
    // Named in the plant's order, whatever order the answers came in.
    const auto labels = [this](const QList<aNode *> &which) {
        QStringList names;
        for (aNode *node : std::as_const(order))
            if (which.contains(node))
                names << node->label;
        return names;
    };
    QStringList parts;
    if (!unconfirmed.isEmpty())
        parts << tr("Stop All: no confirmation from %1").arg(labels(unconfirmed).join(QStringLiteral(", ")));
    if (!stillOpen.isEmpty())
        parts << tr("Stop All: still open, closing refused: %1").arg(labels(stillOpen).join(QStringLiteral(", ")));
    emit report(parts.isEmpty() ? tr("Stop All: every valve and MFC confirmed") : parts.join(QStringLiteral("; ")));
    emit finished(labels(unconfirmed));
}
