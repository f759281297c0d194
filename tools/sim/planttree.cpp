#include "planttree.h"

#include "config/config.h"
#include "plant/plantdescription.h"

void PlantTree::read(const Config &config)
{
    const PlantDescription plant(config);
    list = plant.nodes;
    children = QList<QList<int>>(list.size());
    skipped.clear();
    for (const PlantDescription::Link &link : plant.links) {
        if (link.namesNodes())
            children[link.parent].append(link.child);
        else
            skipped << QStringLiteral("CONNECT%1 names no node, skipped").arg(link.rest);
    }
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
    if (children.at(index).isEmpty())
        return true;
    for (int child : children.at(index)) {
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
