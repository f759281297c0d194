#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

class BusReceiver;
class TMsg;

// Who is meant by a message: the receivers that carry a request's
// destination sub-name among their names, and those that follow the device
// a report comes from. Several receivers of one name, or of one device, are
// handed a message in the order they joined, or were added.
class BusRouter
{
public:
    // What a device reports, and how it is told apart: a valve channel by
    // its hardware node and channel (the first parameter of its reports), a
    // flow controller by its address alone.
    enum DeviceKind { ValveChannel, FlowController };

    BusRouter() = default;

    // From the first join on, requests for the receiver's names reach it;
    // joining again keeps its place and adds names it did not have.
    void join(BusReceiver *receiver, const QStringList &names);
    // A name given after the join; before it, join() takes every name.
    void addName(BusReceiver *receiver, const QString &name);
    void addDevice(BusReceiver *receiver, DeviceKind kind, const QString &sender, const QString &channel = QString());
    void remove(BusReceiver *receiver);

    // Hands a request (or report) to every receiver meant; false when none is.
    bool routeRequest(const TMsg &msg);
    bool routeReport(const TMsg &msg);

private:
    Q_DISABLE_COPY(BusRouter)

    struct Entry
    {
        quint64 order;
        BusReceiver *receiver;
    };
    using Entries = QList<Entry>;
    struct DeviceKey
    {
        int kind;
        QString sender;
        QString channel;
        bool operator==(const DeviceKey &o) const
        {
            return kind == o.kind && sender == o.sender && channel == o.channel;
        }
        friend size_t qHash(const DeviceKey &k, size_t seed = 0)
        {
            return qHashMulti(seed, k.kind, k.sender, k.channel);
        }
    };
    struct Registration
    {
        quint64 joined = 0; // 0: not joined
        QStringList names;
        QList<DeviceKey> devices;
    };

    static void insert(Entries &entries, const Entry &entry);
    static void erase(Entries &entries, const BusReceiver *receiver);
    bool deliver(const Entries &entries, const TMsg &msg, bool request);

    QHash<QString, Entries> byName;
    QHash<DeviceKey, Entries> byDevice;
    QHash<const BusReceiver *, Registration> registered;
    quint64 nextOrder = 1;
    // Counts removals, so that a delivery can tell when a receiver it is
    // about to call may have gone meanwhile.
    quint64 removals = 0;
};
