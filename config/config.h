#pragma once

#include "config/configentry.h"
#include "config/configproblem.h"
#include "config/takeitem.h"

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
    // What reading the files met: files that could not be opened or were
    // already being read, and items with unbalanced quotes.
    const QList<ConfigProblem> &problems() const { return issues; }
    void clear();

private:
    bool readFrom(const QString &path, const QString &includer, int includeLine);
    void noteQuote(ItemQuote quote, const QString &text, const QString &item, const QString &file, int line);

    QList<ConfigEntry> list;
    QList<ConfigProblem> issues;
    // Canonical paths of the files being read right now, outermost first:
    // a file that includes itself must not recurse without end.
    QStringList includeChain;
};

extern Config config;

// True for a command-line argument that is an option: it starts with "-",
// but "-5" and "-.5" are values.
bool isOptionWord(const QString &arg);

// The configuration check's words for an item with unbalanced quotes.
QString quoteProblem(ItemQuote quote, const QString &item);
