#include "bus/busrouter.h"

#include "bus/busreceiver.h"
#include "bus/commandtable.h"
#include "bus/tmsg.h"

void BusRouter::insert(Entries &entries, const Entry &entry)
{
    qsizetype at = entries.size();
    while (at > 0 && entries.at(at - 1).order > entry.order)
        --at;
    entries.insert(at, entry);
}

void BusRouter::erase(Entries &entries, const BusReceiver *receiver)
{
    entries.removeIf([receiver](const Entry &e) { return e.receiver == receiver; });
}

void BusRouter::join(BusReceiver *receiver, const QStringList &names)
{
    Registration &r = registered[receiver];
    if (r.joined == 0)
        r.joined = nextOrder++;
    for (const QString &name : names)
        addName(receiver, name);
}

void BusRouter::addName(BusReceiver *receiver, const QString &name)
{
    const auto it = registered.find(receiver);
    if (it == registered.end() || it->joined == 0 || it->names.contains(name))
        return;
    it->names.append(name);
    insert(byName[name], {it->joined, receiver});
}

void BusRouter::addDevice(BusReceiver *receiver, DeviceKind kind, const QString &sender, const QString &channel)
{
    const DeviceKey key{kind, sender, kind == ValveChannel ? channel : QString()};
    Registration &r = registered[receiver];
    if (r.devices.contains(key))
        return;
    r.devices.append(key);
    insert(byDevice[key], {nextOrder++, receiver});
}

void BusRouter::remove(BusReceiver *receiver)
{
    const auto it = registered.find(receiver);
    if (it == registered.end())
        return;
    for (const QString &name : std::as_const(it->names)) {
        const auto entries = byName.find(name);
        erase(*entries, receiver);
        if (entries->isEmpty())
            byName.erase(entries);
    }
    for (const DeviceKey &key : std::as_const(it->devices)) {
        const auto entries = byDevice.find(key);
        erase(*entries, receiver);
        if (entries->isEmpty())
            byDevice.erase(entries);
    }
    registered.erase(it);
    ++removals;
}

bool BusRouter::deliver(const Entries &entries, const TMsg &msg, bool request)
{
    if (entries.isEmpty())
        return false;
    // A receiver's handling may run the event loop (a warning box) and so
    // change the tables; the list in hand stays as it was.
    const Entries meant = entries;
    const quint64 removalsBefore = removals;
    for (const Entry &e : meant) {
        if (removals != removalsBefore && !registered.contains(e.receiver))
            continue;
        if (request)
            e.receiver->takeRequest(msg);
        else
            e.receiver->takeReport(msg);
    }
    return true;
}

bool BusRouter::routeRequest(const TMsg &msg)
{
    const auto it = byName.constFind(msg.toSub);
    return it != byName.cend() && deliver(*it, msg, true);
}

bool BusRouter::routeReport(const TMsg &msg)
{
    DeviceKey key{FlowController, msg.from, QString()};
    switch (msg.code) {
    case CmdAnsIsOn:
    case CmdEvChangedIsOn:
        // A valve channel's reports name the channel first.
        if (msg.paramList.isEmpty())
            return false;
        key.kind = ValveChannel;
        key.channel = msg.paramList.first();
        break;
    case CmdAnsGetValue:
    case CmdAnsGetSettingValue:
    case CmdEvChangedValue:
    case CmdEvChangedSettingValue:
        break;
    default:
        return false;
    }
    const auto it = byDevice.constFind(key);
    return it != byDevice.cend() && deliver(*it, msg, false);
}
