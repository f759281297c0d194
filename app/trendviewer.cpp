#include "app/trendviewer.h"

#include "app/startup.h"
#include "window/trendmodel.h"
#include "window/trendwindow.h"

#include <QApplication>
#include <QTextStream>
#include <QTranslator>

bool trendViewerWanted(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        if (QByteArray(argv[i]) == "--trend")
            return true;
    }
    return false;
}

int runTrendViewer(int argc, char **argv)
{
    QApplication app(argc, argv);
    QTranslator translator;
    if (japaneseWanted(argc, argv) && loadCatalogue(translator))
        QCoreApplication::installTranslator(&translator);

    QStringList files;
    QString png;
    QString csv;
    const QStringList args = QCoreApplication::arguments();
    // Every other argument that starts with "-" is an option of the panel,
    // which reads nothing here; "-c" and "-config" take their file along.
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString &arg = args.at(i);
        if (arg == QLatin1String("--png"))
            png = args.value(++i);
        else if (arg == QLatin1String("--csv"))
            csv = args.value(++i);
        else if (arg == QLatin1String("-c") || arg == QLatin1String("-config"))
            ++i;
        else if (!arg.startsWith(QLatin1Char('-')))
            files << arg;
    }

    TrendModel model;
    TrendWindow window(&model, nullptr);
    window.show();
    bool failed = false;
    QTextStream err(stderr);
    QObject::connect(&model, &TrendModel::recordRead, [&](const QString &name, const RecordData &summary) {
        if (!summary.error.isEmpty()) {
            err << name << ": " << summary.error << Qt::endl;
            failed = true;
        }
    });
    if (!png.isEmpty() || !csv.isEmpty()) {
        QObject::connect(&window, &TrendWindow::idle, &app, [&] {
            if (model.isLoading())
                return;
            for (const auto &[path, ok] : {std::pair{png, png.isEmpty() || window.exportPng(png)},
                                           std::pair{csv, csv.isEmpty() || window.exportCsv(csv)}}) {
                if (!ok) {
                    err << "cannot write " << path << Qt::endl;
                    failed = true;
                }
            }
            QCoreApplication::exit(failed ? 1 : 0);
        });
    }
    window.openFiles(files);
    return app.exec();
}
