// kestrune-bench [--json FILE] [--nodes N,N,...] [--diamond LAYERS] [--check-valves N] [--before DIR]
// kestrune-bench --echo PORT   (the bare client the panel is measured against)
// kestrune-bench --plant N     (the generated plant of N nodes)
// kestrune-bench --trend-file FILE (the trend window's side of the trend figures)
#include "measurements.h"
#include "report.h"
#include "trendbench.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
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
    const QCommandLineOption nodes(QStringLiteral("nodes"), QStringLiteral("Plant sizes, default 10,100,1000,5000."),
                                   QStringLiteral("N,N,..."), QStringLiteral("10,100,1000,5000"));
    const QCommandLineOption diamond(QStringLiteral("diamond"),
                                     QStringLiteral("Layers of the diamond plant, default 20; 0: none."),
                                     QStringLiteral("LAYERS"), QStringLiteral("20"));
    const QCommandLineOption checkValves(QStringLiteral("check-valves"),
                                         QStringLiteral("Valves of the plant -check reads, default 20000; 0: none."),
                                         QStringLiteral("N"), QStringLiteral("20000"));
    const QCommandLineOption before(
        QStringLiteral("before"),
        QStringLiteral("Also measure the panel built in DIR, each figure beside this build's, in one run."),
        QStringLiteral("DIR"));
    const QCommandLineOption echo(QStringLiteral("echo"), QStringLiteral("Run as the bare client on PORT."),
                                  QStringLiteral("PORT"));
    const QCommandLineOption plant(
        QStringLiteral("plant"), QStringLiteral("Print the generated plant of N nodes and stop."), QStringLiteral("N"));
    const QCommandLineOption trends(QStringLiteral("trends"),
                                    QStringLiteral("Trend figures: yes (default), no, or only."),
                                    QStringLiteral("yes|no|only"), QStringLiteral("yes"));
    parser.addOptions({json, nodes, diamond, checkValves, before, echo, plant, trends});
    parser.process(app);

    if (parser.isSet(plant)) {
        QTextStream(stdout) << generatePlant(parser.value(plant).toInt()).config;
        return 0;
    }

    if (parser.isSet(echo))
        return runEchoClient(quint16(parser.value(echo).toUInt()));

    QTextStream out(stdout);
    QList<PanelFigures> panels;
    const auto build = [&](const QString &name, const QString &dir) {
        PanelFigures panel;
        panel.name = name;
        panel.binary = QDir(dir).filePath(QStringLiteral("kestrune"));
        panels << panel;
    };
    if (parser.isSet(before))
        build(QStringLiteral("before"), parser.value(before));
    build(QStringLiteral("this build"), QCoreApplication::applicationDirPath());
    const MachineInfo machine = describeMachine();
    BaselineFigures baseline;
    if (parser.value(trends) != QLatin1String("only")) {
        out << "bare client ..." << Qt::endl;
        baseline = Measurements::baseline();
        // Each figure for every build in turn, so that the load of the
        // moment weighs on all of them alike.
        const auto each = [&](const QString &what, const std::function<void(PanelFigures &, Measurements &)> &measure) {
            for (PanelFigures &panel : panels) {
                out << what << ", " << panel.name << " ..." << Qt::endl;
                Measurements m(panel.binary);
                measure(panel, m);
            }
        };
        for (const QString &n : parser.value(nodes).split(QLatin1Char(','), Qt::SkipEmptyParts))
            each(n + QStringLiteral(" nodes"),
                 [&](PanelFigures &p, Measurements &m) { p.plants << m.plant(n.toInt()); });
        if (const int layers = parser.value(diamond).toInt(); layers > 0)
            each(QStringLiteral("diamond"), [&](PanelFigures &p, Measurements &m) { p.diamond = m.diamond(layers); });
        if (const int valves = parser.value(checkValves).toInt(); valves > 0)
            each(QStringLiteral("-check"), [&](PanelFigures &p, Measurements &m) { p.check = m.check(valves); });
    }
    TrendFigures trendFigures;
    if (parser.value(trends) != QLatin1String("no")) {
        out << "trends ..." << Qt::endl;
        // Generated once; a day of a large plant is about two gigabytes.
        measureTrendFile(trendFigures, QCoreApplication::applicationFilePath(),
                         QCoreApplication::applicationDirPath() + QStringLiteral("/bench-data"));
        Measurements(panels.last().binary).trendLive(trendFigures);
    }
    out << '\n';
    if (parser.value(trends) != QLatin1String("only"))
        out << tableText(machine, baseline, panels);
    out << trendText(trendFigures);

    bool failed = !baseline.error.isEmpty() || !trendFigures.error.isEmpty() || !trendFigures.liveError.isEmpty();
    for (const PanelFigures &panel : panels) {
        for (const PlantFigures &p : panel.plants)
            failed = failed || !p.error.isEmpty();
        failed = failed || !panel.diamond.error.isEmpty() || !panel.check.error.isEmpty();
    }
    if (parser.isSet(json)) {
        QFile file(parser.value(json));
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            out << "cannot write " << parser.value(json) << Qt::endl;
            return 2;
        }
        QJsonObject figures = toJson(machine, baseline, panels);
        figures.insert(QStringLiteral("trends"), trendJson(trendFigures));
        file.write(QJsonDocument(figures).toJson());
        out << "\nfigures written to " << parser.value(json) << Qt::endl;
    }
    return failed ? 1 : 0;
}
