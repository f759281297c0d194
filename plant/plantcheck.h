#pragma once

#include <QHash>
#include <QList>
#include <QSet>
#include <QStringList>

class Config;
class PlantDescription;
struct ConfigEntry;

// Reads the configuration as the plant building does, without building
// anything, and lists every mistake it finds: what the plant description
// noted while reading (entries skipped or cut short, references to missing
// nodes, CONNECT loops, items that are not numbers), names defined twice,
// valves and MFCs without a hardware address, nodes with so many paths up
// to their sources that a request walking them would not end, and settings
// that cannot be used. One line per problem, "FILE:LINE: text" where the
// place is known.
class PlantCheck
{
public:
    explicit PlantCheck(const Config &cfg);

    QStringList problems() const;

    // More paths than this from one node up to its sources are reported.
    static constexpr qint64 MaxPaths = 10000;

private:
    struct Problem
    {
        QString file;
        int line;
        QString text;
    };

    void report(const QString &file, int line, const QString &text);
    void report(const ConfigEntry &e, const QString &text);
    QList<ConfigEntry> entries(const QString &key) const;

    void checkSettings();
    void checkNodes(const PlantDescription &plant);
    void checkPaths(const PlantDescription &plant);
    void checkCycles(const PlantDescription &plant);
    void checkRemoteAccess(const PlantDescription &plant);
    void checkUnknownKeys();

    const Config &cfg;
    QList<Problem> found;
    QSet<QString> seen;
};
