// kestrune-bench [--json FILE] [--nodes N,N,...]
// kestrune-bench --echo PORT   (the bare client the panel is measured against)
// kestrune-bench --plant N     (the generated plant of N nodes)
#include "measurements.h"
#include "report.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QJsonDocument>
#include <QTextStream>

int main(int argc, char **argv)
{
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
    parser.addOptions({json, nodes, echo, plant});
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
    out << "bare client ..." << Qt::endl;
    const BaselineFigures baseline = measure.baseline();
    QList<PlantFigures> plants;
    for (const QString &n : parser.value(nodes).split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        out << n << " nodes ..." << Qt::endl;
        plants << measure.plant(n.toInt());
    }
    out << '\n' << tableText(machine, baseline, plants);

    bool failed = !baseline.error.isEmpty();
    for (const PlantFigures &p : plants)
        failed = failed || !p.error.isEmpty();
    if (parser.isSet(json)) {
        QFile file(parser.value(json));
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            out << "cannot write " << parser.value(json) << Qt::endl;
            return 2;
        }
        file.write(QJsonDocument(toJson(machine, baseline, plants)).toJson());
        out << "\nfigures written to " << parser.value(json) << Qt::endl;
    }
    return failed ? 1 : 0;
}
