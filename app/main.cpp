#include "app/startup.h"
#include "app/trendviewer.h"
#include "config/config.h"
#include "window/body.h"

#include <QApplication>
#include <QPixmapCache>
#include <QTranslator>

int main(int argc, char **argv)
{
    if (trendViewerWanted(argc, argv))
        return runTrendViewer(argc, argv);

    if (checkWanted(argc, argv)) {
        // The check builds nothing and shows nothing: no display is needed.
        QCoreApplication app(argc, argv);
        config.readArgs(argc, argv);
        config.readFile(chooseConfigPath(config, defaultConfigPath()));
        return printPlantCheck(config);
    }

    QApplication app(argc, argv);
    // Each restyled valve button is polished with a fresh palette, and the
    // style caches its pixmaps under that palette, never to be hit again: with
    // the default limit a long run fills ten megabytes with them.
    QPixmapCache::setCacheLimit(2048);

    config.readArgs(argc, argv);
    config.readFile(chooseConfigPath(config, defaultConfigPath()));

    QTranslator translator;
    if (japaneseWanted(argc, argv) && loadCatalogue(translator))
        QCoreApplication::installTranslator(&translator);

    Body body;
    return app.exec();
}
