#include "app/commandline.h"
#include "app/largeheap.h"
#include "app/startup.h"
#include "app/trendviewer.h"
#include "config/config.h"
#include "window/body.h"

#include <QApplication>
#include <QTranslator>

#include <cstdio>

// The check builds nothing and shows nothing: no display is needed.
static int runCheck(int argc, char **argv, const QStringList &args, bool desktop)
{
    // Reading a large plant makes as many small blocks as building its panel.
    useLargeHeapPages();
    QCoreApplication app(argc, argv);
    warnUnusedArguments(args);
    // Relative names mean what they mean to the panel; nothing is created.
    if (desktop)
        enterStateFolder(false);
    config.readArgs(argc, argv);
    config.readFile(chooseConfigPath(config, defaultConfigPath()));
    return printPlantCheck(config);
}

int main(int argc, char **argv)
{
    // Answered before any application object exists: no display is needed
    // and no file is touched.
    const QStringList args = CommandLine::arguments(argc, argv);
    if (CommandLine::given(args, "--help")) {
        std::fputs(CommandLine::usage().toLocal8Bit().constData(), stdout);
        return 0;
    }
    if (CommandLine::given(args, "--version")) {
        std::printf("kestrune %s\n", kestruneVersion().toLatin1().constData());
        return 0;
    }
    const bool desktop = CommandLine::given(args, "--desktop");

    // Only the trend window: no connection, no configuration, no file written.
    if (trendViewerWanted(argc, argv))
        return runTrendViewer(argc, argv);

    if (checkWanted(argc, argv))
        return runCheck(argc, argv, args, desktop);

    useLargeHeapPages();
    QApplication app(argc, argv);
    identifyApplication();
    limitStyleCaches();
    // Qt has taken its own options out by now.
    warnUnusedArguments(CommandLine::arguments(argc, argv));

    QTranslator translator;
    QTranslator qtTranslator;
    installCatalogues(argc, argv, translator, qtTranslator);

    const QString notice = readStartupConfiguration(argc, argv, desktop);
    Body body;
    body.showStartupNotice(notice);
    endLargeHeapPages();
    return app.exec();
}
