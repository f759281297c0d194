#pragma once

#include <QHash>
#include <QList>
#include <QSet>
#include <QStringList>

class Config;
struct ConfigEntry;

// Reads the configuration as the plant building does, without building
// anything, and lists every mistake it finds: entries skipped or cut short
// by the reading rules, references to missing nodes, CONNECT loops, names
// defined twice, bus names given to no node, items that are not numbers,
// valves and MFCs without a hardware address. One line per problem,
// "FILE:LINE: text" where the place is known.
class PlantCheck
{
public:
    explicit PlantCheck(const Config &cfg);

    QStringList problems() const;

private:
    struct Node
    {
        int kind;
        int number;
        QString place;
    };
    struct Problem
    {
        QString file;
        int line;
        QString text;
    };

    void report(const QString &file, int line, const QString &text);
    void report(const ConfigEntry &e, const QString &text);
    QList<ConfigEntry> entries(const QString &key) const;
    QStringList items(const ConfigEntry &e, int count);
    void needInt(const ConfigEntry &e, const QString &what, const QString &text);
    void needDecimal(const ConfigEntry &e, const QString &what, const QString &text);
    // Index of the first node of that number and kind, -1 when none.
    int find(int number, int kind) const;

    void checkSettings();
    void checkNodes(const QString &key, int kind, int count);
    void checkExclusive();
    void checkConditions(const QString &key, bool prefixes);
    void checkConnections();
    void checkTimes(const QString &key);
    void checkCycles();
    void checkBusNames();
    void checkRemoteAccess();
    void checkUnknownKeys();

    const Config &cfg;
    QList<Node> nodes;
    QHash<int, QList<int>> upstream; // node index -> indices of the nodes feeding it
    struct TimeSet
    {
        double minutes;
        QString file;
        int line;
    };
    QHash<int, TimeSet> opens;  // valve number -> its time to open in force
    QHash<int, TimeSet> closes; // the same for closing
    QList<Problem> found;
    QSet<QString> seen;
};
