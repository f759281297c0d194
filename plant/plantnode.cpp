#include "plant/plantnode.h"

PlantNode::Kind PlantNode::kindOfWord(const QString &word)
{
    for (int kind = Plain; kind < NoKind; ++kind) {
        if (word == kindWord(kind))
            return Kind(kind);
    }
    return NoKind;
}

QString PlantNode::kindWord(int kind)
{
    static const char *const words[] = {"NODE", "VALVE", "MFC"};
    return kind >= Plain && kind < NoKind ? QLatin1String(words[kind]) : QString();
}

QString PlantNode::reference(int kind, int number)
{
    return QStringLiteral("%1 %2").arg(kindWord(kind)).arg(number);
}

QString PlantNode::address() const
{
    return channel.isEmpty() ? hwNode : hwNode + QLatin1Char('.') + channel;
}
