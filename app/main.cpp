#include "app/startup.h"
#include "config/config.h"
#include "window/body.h"

#include <QApplication>
#include <QTranslator>

int main(int argc, char **argv)
{
    if (checkWanted(argc, argv)) {
        // The check builds nothing and shows nothing: no display is needed.
        QCoreApplication app(argc, argv);
        config.readArgs(argc, argv);
        config.readFile(chooseConfigPath(config, defaultConfigPath()));
        return printPlantCheck(config);
    }

    QApplication app(argc, argv);

    config.readArgs(argc, argv);
    config.readFile(chooseConfigPath(config, defaultConfigPath()));

    QTranslator translator;
    if (japaneseWanted(argc, argv) && loadCatalogue(translator))
        QCoreApplication::installTranslator(&translator);

    Body body;
    return app.exec();
}
