#include "planttree.h"

#include "config/config.h"
#include "config/takeitem.h"

namespace {

// The items of one configuration line, a missing item being empty.
QStringList items(const QString &rest, int count)
{
    QStringList out;
    QString text = rest;
    for (int i = 0; i < count; ++i) {
        QString item;
        text = takeItem(text, item);
        out << item;
    }
    return out;
}

int wholeNumber(const QString &text)
{
    bool ok = false;
    const int n = text.toInt(&ok, 10);
    return ok ? n : 0;
}

} // namespace

QString PlantNode::address() const
{
    return channel.isEmpty() ? hwNode : hwNode + QLatin1Char('.') + channel;
}

void PlantTree::read(const Config &config)
{
    list.clear();
    skipped.clear();

    for (const QString &rest : config.entries(QStringLiteral("VALVE"))) {
        const QStringList it = items(rest, 12);
        PlantNode node;
        node.kind = PlantNode::Valve;
        node.name = it.at(0);
        node.hwNode = it.at(5);
        node.channel = it.at(6);
        node.normallyOn = it.at(11).toUpper() == QLatin1String("N_ON");
        list.append(node);
    }
    for (const QString &rest : config.entries(QStringLiteral("MFC"))) {
        const QStringList it = items(rest, 7);
        PlantNode node;
        node.kind = PlantNode::Mfc;
        node.name = it.at(0);
        node.hwNode = it.at(5);
        node.channel = it.at(6);
        list.append(node);
    }
    for (const QString &rest : config.entries(QStringLiteral("NODE"))) {
        PlantNode node;
        node.name = items(rest, 1).at(0);
        list.append(node);
    }

    for (const QString &rest : config.entries(QStringLiteral("CONNECT"))) {
        const QStringList it = items(rest, 4);
        const int child = find(wholeNumber(it.at(1)), kindOfWord(it.at(0)));
        const int parent = find(wholeNumber(it.at(3)), kindOfWord(it.at(2)));
        if (child < 0 || parent < 0) {
            skipped << QStringLiteral("CONNECT%1 names no node, skipped").arg(rest);
            continue;
        }
        list[parent].children.append(child);
    }
}

int PlantTree::find(int number, int kind) const
{
    for (int i = 0; i < list.size(); ++i) {
        if (list.at(i).kind == kind && wholeNumber(list.at(i).name) == number)
            return i;
    }
    return -1;
}

int PlantTree::kindOfWord(const QString &word)
{
    if (word == QLatin1String("NODE"))
        return PlantNode::Plain;
    if (word == QLatin1String("VALVE"))
        return PlantNode::Valve;
    if (word == QLatin1String("MFC"))
        return PlantNode::Mfc;
    return -1;
}

bool PlantTree::gasReaches(int index, const std::function<bool(const PlantNode &)> &isOpen) const
{
    if (index < 0 || index >= list.size())
        return false;
    QList<int> path{index};
    return reachesFromChildren(index, isOpen, path);
}

bool PlantTree::reachesFromChildren(int index, const std::function<bool(const PlantNode &)> &isOpen,
                                    QList<int> &path) const
{
    const PlantNode &node = list.at(index);
    if (node.children.isEmpty())
        return true;
    for (int child : node.children) {
        if (passes(child, isOpen, path))
            return true;
    }
    return false;
}

bool PlantTree::passes(int index, const std::function<bool(const PlantNode &)> &isOpen, QList<int> &path) const
{
    // A pipe back into the path would loop for ever; gas cannot come that way.
    if (path.contains(index) || !isOpen(list.at(index)))
        return false;
    path.append(index);
    const bool reached = reachesFromChildren(index, isOpen, path);
    path.removeLast();
    return reached;
}
