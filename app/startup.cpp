#include "app/startup.h"

#include "config/config.h"
#include "plant/plantcheck.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTextStream>
#include <QTranslator>

QString defaultConfigPath()
{
    return QFileInfo(QDir(QCoreApplication::applicationDirPath()), QStringLiteral("Kestrune.cfg"))
        .canonicalFilePath();
}

QString chooseConfigPath(const Config &cfg, const QString &defaultPath)
{
    QString path = defaultPath;
    if (cfg.contains(QStringLiteral("-c")))
        path = cfg.value(QStringLiteral("-c"), path);
    if (cfg.contains(QStringLiteral("-config")))
        path = cfg.value(QStringLiteral("-config"), path);
    return path;
}

bool japaneseWanted(int argc, char **argv)
{
    bool japanese = true;
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        if (arg == "-j")
            japanese = true;
        else if (arg == "-e")
            japanese = false;
    }
    return japanese;
}

bool loadCatalogue(QTranslator &translator)
{
    return translator.load(QStringLiteral(":Kestrune_ja_JP"), QCoreApplication::applicationDirPath(),
                           QStringLiteral(""), QStringLiteral(""));
}

bool checkWanted(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        if (QByteArray(argv[i]) == "-check")
            return true;
    }
    return false;
}

int printPlantCheck(const Config &cfg)
{
    const QStringList problems = PlantCheck(cfg).problems();
    QTextStream out(stdout);
    out.setEncoding(QStringConverter::Utf8);
    for (const QString &line : problems)
        out << line << '\n';
    out.flush();
    return problems.isEmpty() ? 0 : 1;
}
