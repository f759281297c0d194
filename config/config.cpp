#include "config/config.h"

#include "config/takeitem.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>

Config config;

namespace {

// "-5" and "-.5" are values, not options.
bool isOptionWord(const QString &arg)
{
    if (!arg.startsWith(QLatin1Char('-')))
        return false;
    if (arg.size() < 2)
        return true;
    const QChar second = arg.at(1);
    return !(second == QLatin1Char('.') || second.isNumber());
}

} // namespace

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
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        qDebug().noquote() << QStringLiteral("Can't open config file : ") + path;
        return false;
    }

    const QString canonical = QFileInfo(file).canonicalFilePath();
    if (!canonical.isEmpty() && includeChain.contains(canonical)) {
        qDebug().noquote() << QStringLiteral("Skipped INCLUDE of a config file already being read : ") + path;
        return false;
    }
    includeChain.append(canonical);

    QTextStream in(&file);
    in.setEncoding(QStringConverter::Utf8);
    while (!in.atEnd()) {
        const QString content = stripComment(in.readLine());
        if (content.simplified().isEmpty())
            continue;
        QString key;
        QString value;
        const QString rest = takeItem(content, key);
        takeItem(rest, value);
        if (key.toUpper() == QLatin1String("INCLUDE"))
            readFile(value);
        else
            list.append(ConfigEntry{key, value, rest});
    }

    includeChain.removeLast();
    file.close();
    return true;
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
    includeChain.clear();
}
