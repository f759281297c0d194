#include "support/nodebus.h"

#include <QTest>

NodeBus::NodeBus()
    : telso(QString(), QString(), QStringLiteral("Kestrune"), QStringLiteral("Kestrune")),
      barrier(QStringLiteral("99"), 99, aNode::PlainNode, QString(), 1.0, QString(), QString(), QString(), 0, 0, 1, 1,
              &telso)
{
    barrier.busNames << QStringLiteral("Barrier");
}

bool NodeBus::login()
{
    if (!loginTelso(telso, server))
        return false;
    atLogin = settle();
    return true;
}

QStringList NodeBus::settle(const QStringList &send)
{
    static const QString barrierAnswer = QStringLiteral("Kestrune.Barrier>T @Stat ");
    for (const QString &line : send)
        server.send(line);
    server.send(QStringLiteral("T>Kestrune.Barrier Stat"));
    if (!QTest::qWaitFor([this] { return server.lines().contains(barrierAnswer); }, 10000))
        return {QStringLiteral("no answer from the barrier")};
    QStringList lines = server.lines();
    server.clearLines();
    lines.removeOne(barrierAnswer);
    return lines;
}

void link(aNode *parent, aNode *child)
{
    parent->addChild(child);
    child->addParent(parent);
}
