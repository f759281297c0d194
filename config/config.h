#pragma once

#include "config/configentry.h"

#include <QList>
#include <QStringList>

// The configuration store: command-line options, then the entries of the
// configuration file (with its includes), in the order they were added.
class Config
{
public:
    void readArgs(int argc, char **argv);
    bool readFile(const QString &path);

    QString value(const QString &key, const QString &def) const;
    QStringList entries(const QString &key) const;
    bool contains(const QString &key) const;

    const QList<ConfigEntry> &allEntries() const { return list; }
    void clear();

private:
    QList<ConfigEntry> list;
    // Canonical paths of the files being read right now, outermost first:
    // a file that includes itself must not recurse without end.
    QStringList includeChain;
};

extern Config config;
