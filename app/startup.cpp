#include "app/startup.h"

#include "app/commandline.h"
#include "config/config.h"
#include "plant/plantcheck.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QIcon>
#include <QDir>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QPixmapCache>
#include <QTextStream>
#include <QTranslator>

#include <cstdio>

namespace {

// An XDG base folder: the variable when it holds an absolute path (others
// are to be ignored), else the fallback under the home folder.
QString xdgFolder(const char *variable, const QString &fallback)
{
    const QString value = qEnvironmentVariable(variable);
    return QDir::isAbsolutePath(value) ? value : QDir::home().filePath(fallback);
}

} // namespace

QString kestruneVersion()
{
    return QStringLiteral(KESTRUNE_VERSION);
}

QStringList defaultConfigCandidates()
{
    const QString name = QStringLiteral("Kestrune.cfg");
    return {QDir(QCoreApplication::applicationDirPath()).filePath(name),
            QDir(xdgFolder("XDG_CONFIG_HOME", QStringLiteral(".config"))).filePath(QStringLiteral("kestrune/") + name),
            QStringLiteral("/etc/kestrune/") + name};
}

QString defaultConfigPath()
{
    for (const QString &candidate : defaultConfigCandidates()) {
        const QFileInfo file(candidate);
        if (file.isFile())
            return file.canonicalFilePath();
    }
    return QString();
}

QString configNotice(const Config &cfg, const QString &path)
{
    if (!path.isEmpty())
        return QCoreApplication::translate("Startup", "No configuration file read: cannot open %1")
            .arg(QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()));
    for (const char *option : {"-config", "-c"}) {
        if (cfg.contains(QLatin1String(option)))
            return QCoreApplication::translate("Startup", "No configuration file read: no file name after %1")
                .arg(QLatin1String(option));
    }
    return QCoreApplication::translate("Startup", "No configuration file read: none of %1 exists")
        .arg(defaultConfigCandidates().join(QLatin1String(", ")));
}

QString stateFolder()
{
    return QDir(xdgFolder("XDG_STATE_HOME", QStringLiteral(".local/state"))).filePath(QStringLiteral("kestrune"));
}

QString enterStateFolder(bool create)
{
    const QString folder = stateFolder();
    const QFileInfo info(folder);
    if (create && !info.exists()) {
        // Only its owner reads the record and the key file.
        QDir().mkpath(info.absolutePath());
        QDir().mkdir(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    if (!QDir::setCurrent(folder))
        return QCoreApplication::translate("Startup", "Cannot work in %1; files go to %2")
            .arg(QDir::toNativeSeparators(folder), QDir::toNativeSeparators(QDir::currentPath()));
    return QString();
}

QString readStartupConfiguration(int argc, char **argv, bool desktop)
{
    // Started from the desktop the working directory is the home folder;
    // the record file, log.log and the key file belong in a folder of ours.
    QStringList notices;
    if (desktop)
        notices << enterStateFolder(true);
    config.readArgs(argc, argv);
    const QString path = chooseConfigPath(config, defaultConfigPath());
    if (!config.readFile(path))
        notices << configNotice(config, path);
    notices.removeAll(QString());
    return notices.join(QLatin1String("; "));
}

void warnUnusedArguments(const QStringList &args)
{
    for (const QString &arg : CommandLine::unused(args))
        std::fprintf(stderr, "kestrune: argument not used: %s\n", arg.toLocal8Bit().constData());
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

void limitStyleCaches()
{
    // Each restyled valve button is polished with a fresh palette, and the
    // style caches its pixmaps under that palette, never to be hit again: with
    // the default limit a long run fills ten megabytes with them.
    QPixmapCache::setCacheLimit(2048);
}

void identifyApplication()
{
    QGuiApplication::setDesktopFileName(QStringLiteral("org.kestrune.Kestrune"));
    QGuiApplication::setWindowIcon(QIcon(QStringLiteral(":/org.kestrune.Kestrune.svg")));
}

void installCatalogues(int argc, char **argv, QTranslator &translator, QTranslator &qtTranslator)
{
    if (!japaneseWanted(argc, argv))
        return;
    if (loadCatalogue(translator))
        QCoreApplication::installTranslator(&translator);
    if (loadQtCatalogue(qtTranslator))
        QCoreApplication::installTranslator(&qtTranslator);
}

bool loadCatalogue(QTranslator &translator)
{
    return translator.load(QStringLiteral(":Kestrune_ja_JP"), QCoreApplication::applicationDirPath(),
                           QStringLiteral(""), QStringLiteral(""));
}

bool loadQtCatalogue(QTranslator &translator)
{
    return translator.load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath));
}

bool checkWanted(int argc, char **argv)
{
    return CommandLine::given(CommandLine::arguments(argc, argv), "-check");
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
