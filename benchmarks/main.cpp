// kestrune-bench [--json FILE] [--nodes N,N,...]
// kestrune-bench --echo PORT   (the bare client the panel is measured against)
// kestrune-bench --plant N     (the generated plant of N nodes)
// kestrune-bench --trend-file FILE (the trend window's side of the trend figures)
#include "measurements.h"
#include "report.h"
#include "trendbench.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

int main(int argc, char **argv)
{
    // The trend window needs a GUI application of its own.
    if (argc == 3 && QByteArray(argv[1]) == "--trend-file")
        return runTrendFileBench(argc, argv, QString::fromLocal8Bit(argv[2]));

    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Start-up, throughput, latency and record cost of the panel."));
    parser.addHelpOption();
    const QCommandLineOption json(QStringLiteral("json"), QStringLiteral("Write the figures to FILE."),
                                  QStringLiteral("FILE"));
    const QCommandLineOption nodes(QStringLiteral("nodes"), QStringLiteral("Plant sizes, default 10,100,1000."),
                                   QStringLiteral("N,N,..."), QStringLiteral("10,100,1000"));
    const QCommandLineOption echo(QStringLiteral("echo"), QStringLiteral("Run as the bare client on PORT."),
                                  QStringLiteral("PORT"));
    const QCommandLineOption plant(
        QStringLiteral("plant"), QStringLiteral("Print the generated plant of N nodes and stop."), QStringLiteral("N"));
    const QCommandLineOption trends(QStringLiteral("trends"),
                                    QStringLiteral("Trend figures: yes (default), no, or only."),
                                    QStringLiteral("yes|no|only"), QStringLiteral("yes"));
    parser.addOptions({json, nodes, echo, plant, trends});
    parser.process(app);

    if (parser.isSet(plant)) {
        QTextStream(stdout) << generatePlant(parser.value(plant).toInt()).config;
        return 0;
    }

    if (parser.isSet(echo))
        return runEchoClient(quint16(parser.value(echo).toUInt()));

    QTextStream out(stdout);
    Measurements measure(QCoreApplication::applicationDirPath());
    const MachineInfo machine = describeMachine();
    BaselineFigures baseline;
    QList<PlantFigures> plants;
    if (parser.value(trends) != QLatin1String("only")) {
        out << "bare client ..." << Qt::endl;
        baseline = measure.baseline();
        for (const QString &n : parser.value(nodes).split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            out << n << " nodes ..." << Qt::endl;
            plants << measure.plant(n.toInt());
        }
    }
    TrendFigures trendFigures;
    if (parser.value(trends) != QLatin1String("no")) {
        out << "trends ..." << Qt::endl;
        // Generated once; a day of a large plant is about two gigabytes.
        measureTrendFile(trendFigures, QCoreApplication::applicationFilePath(),
                         QCoreApplication::applicationDirPath() + QStringLiteral("/bench-data"));
        measure.trendLive(trendFigures);
    }
    out << '\n';
    if (!plants.isEmpty())
        out << tableText(machine, baseline, plants);
    out << trendText(trendFigures);

    bool failed = !baseline.error.isEmpty() || !trendFigures.error.isEmpty() || !trendFigures.liveError.isEmpty();
    for (const PlantFigures &p : plants)
        failed = failed || !p.error.isEmpty();
    if (parser.isSet(json)) {
        QFile file(parser.value(json));
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            out << "cannot write " << parser.value(json) << Qt::endl;
            return 2;
        }
        QJsonObject figures = toJson(machine, baseline, plants);
        figures.insert(QStringLiteral("trends"), trendJson(trendFigures));
        file.write(QJsonDocument(figures).toJson());
        out << "\nfigures written to " << parser.value(json) << Qt::endl;
    }
    return failed ? 1 : 0;
}
