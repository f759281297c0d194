#include "config/config.h"

#include "config/takeitem.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>

Config config;

bool isOptionWord(const QString &arg)
{
    if (!arg.startsWith(QLatin1Char('-')))
        return false;
    if (arg.size() < 2)
        return true;
    const QChar second = arg.at(1);
    return !(second == QLatin1Char('.') || second.isNumber());
}

QString quoteProblem(ItemQuote quote, const QString &item)
{
    if (quote == ItemQuote::Unclosed)
        return QStringLiteral("item \"%1 starts with a quote that is never closed").arg(item);
    return QStringLiteral("item %1 ends in a quote that was never opened").arg(item);
}

void Config::readArgs(int argc, char **argv)
{
    QStringList args;
    for (int i = 0; i < argc; ++i)
        args << QString::fromUtf8(argv[i]);

    qsizetype i = 0;
    while (i < args.size()) {
        if (!args.at(i).startsWith(QLatin1Char('-'))) {
            ++i;
            continue;
        }
        ConfigEntry entry;
        entry.key = args.at(i);
        if (i + 1 < args.size() && !isOptionWord(args.at(i + 1)))
            entry.value = args.at(i + 1);
        qsizetype next = i + 1;
        QStringList taken;
        while (next < args.size() && !args.at(next).startsWith(QLatin1Char('-')))
            taken << args.at(next++);
        entry.rest = taken.join(QLatin1Char(' '));
        list.append(entry);
        i = next;
    }
}

bool Config::readFile(const QString &path)
{
    return readFrom(path, QString(), 0);
}

bool Config::readFrom(const QString &path, const QString &includer, int includeLine)
{
    QFile file(path);
    // No name is no file: not handed to the file system, which would only warn.
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        qDebug().noquote() << QStringLiteral("Can't open config file : ") + path;
        if (includer.isEmpty() && path.isEmpty())
            issues.append({QString(), 0, QStringLiteral("no configuration file to read")});
        else if (includer.isEmpty())
            issues.append({QString(), 0, QStringLiteral("cannot open the configuration file \"%1\"").arg(path)});
        else
            issues.append({includer, includeLine, QStringLiteral("INCLUDE: cannot open \"%1\"").arg(path)});
        return false;
    }

    const QString canonical = QFileInfo(file).canonicalFilePath();
    if (!canonical.isEmpty() && includeChain.contains(canonical)) {
        qDebug().noquote() << QStringLiteral("Skipped INCLUDE of a config file already being read : ") + path;
        issues.append({includer, includeLine,
                       QStringLiteral("INCLUDE of \"%1\" skipped: that file is already being read").arg(path)});
        return false;
    }
    includeChain.append(canonical);

    QTextStream in(&file);
    in.setEncoding(QStringConverter::Utf8);
    int lineNumber = 0;
    while (!in.atEnd()) {
        ++lineNumber;
        const QString content = stripComment(in.readLine());
        if (content.simplified().isEmpty())
            continue;
        QString key;
        QString value;
        ItemQuote quote;
        const QString rest = takeItemQuietly(content, key, quote);
        noteQuote(quote, content, key, path, lineNumber);
        takeItemQuietly(rest, value, quote);
        noteQuote(quote, rest, value, path, lineNumber);
        if (key.toUpper() == QLatin1String("INCLUDE"))
            readFrom(value, path, lineNumber);
        else
            list.append(ConfigEntry{key, value, rest, path, lineNumber});
    }

    includeChain.removeLast();
    file.close();
    return true;
}

void Config::noteQuote(ItemQuote quote, const QString &text, const QString &item, const QString &file, int line)
{
    if (quote == ItemQuote::Balanced)
        return;
    qDebug().noquote() << quoteWarning(quote, text);
    issues.append({file, line, quoteProblem(quote, item)});
}

QString Config::value(const QString &key, const QString &def) const
{
    for (auto it = list.crbegin(); it != list.crend(); ++it) {
        if (it->key == key)
            return it->value;
    }
    return def;
}

QStringList Config::entries(const QString &key) const
{
    QStringList result;
    for (const ConfigEntry &entry : list) {
        if (entry.key == key)
            result << entry.rest;
    }
    return result;
}

bool Config::contains(const QString &key) const
{
    for (const ConfigEntry &entry : list) {
        if (entry.key == key)
            return true;
    }
    return false;
}

void Config::clear()
{
    list.clear();
    issues.clear();
    includeChain.clear();
}
