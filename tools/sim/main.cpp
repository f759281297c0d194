#include "mfcdevice.h"
#include "mfcdevices.h"
#include "planttree.h"
#include "relayserver.h"
#include "simcontrol.h"
#include "transcript.h"
#include "valvehardware.h"

#include "app/startup.h"
#include "common/loginkeys.h"
#include "config/config.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QHostAddress>

#include <cstdio>

namespace {

constexpr quint16 DefaultPort = 6057;

int fail(const QString &text)
{
    std::fprintf(stderr, "kestrune-sim: %s\n", qPrintable(text));
    return 2;
}

// The port as the panel reads TELSO_PORT, so both find each other.
bool panelPort(const QString &text, quint16 &port)
{
    bool ok = false;
    const int n = text.startsWith(QLatin1String("0x")) ? text.mid(2).toInt(&ok, 16) : text.toInt(&ok, 10);
    if (!ok || n < 0 || n > 65535)
        return false;
    port = quint16(n);
    return true;
}

const char description[] =
    "A message server with simulated valves and mass-flow controllers behind it, built from the panel's\n"
    "configuration file. Prints \"kestrune-sim listening on ADDRESS:PORT\" first, then a time-stamped\n"
    "transcript of every line received (<-), sent (->) or dropped (xx). Requests to the name \"Sim\"\n"
    "inject faults: Silence ADDRESS, Unsilence ADDRESS, Drop CLIENT, Raw CLIENT TEXT,\n"
    "SetChannel NODE CHANNEL 0|1, Stick NODE.CHANNEL, Unstick NODE.CHANNEL, Help.";

struct Options
{
    QCommandLineOption help;
    QCommandLineOption version;
    QCommandLineOption config;
    QCommandLineOption port;
    QCommandLineOption bind;
    QCommandLineOption keys;
    QCommandLineOption noise;
    QCommandLineOption silence;
    QCommandLineOption quiet;
};

Options addOptions(QCommandLineParser &parser)
{
    parser.setApplicationDescription(QString::fromUtf8(description));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const Options o{
        help,
        version,
        QCommandLineOption({QStringLiteral("c"), QStringLiteral("config")},
                           QStringLiteral("Plant configuration file (the panel's)."), QStringLiteral("file")),
        QCommandLineOption(QStringLiteral("port"),
                           QStringLiteral("Port to listen on; 0 picks a free one. Default: the "
                                          "configuration's TELSO_PORT, else 6057."),
                           QStringLiteral("n")),
        QCommandLineOption(QStringLiteral("bind"), QStringLiteral("Address to listen on (default 127.0.0.1)."),
                           QStringLiteral("address"), QStringLiteral("127.0.0.1")),
        QCommandLineOption(QStringLiteral("keys"),
                           QStringLiteral("Key file: a login must bring the key its challenge "
                                          "selects (challenge mod number of keys). Without it any "
                                          "key is taken."),
                           QStringLiteral("file")),
        QCommandLineOption(QStringLiteral("noise"), QStringLiteral("Relative noise on measured flows, e.g. 0.02."),
                           QStringLiteral("fraction")),
        QCommandLineOption(QStringLiteral("silence"),
                           QStringLiteral("Start with this device address or node silenced "
                                          "(repeatable)."),
                           QStringLiteral("address")),
        QCommandLineOption(QStringLiteral("quiet"), QStringLiteral("Print no transcript.")),
    };
    parser.addOptions({o.config, o.port, o.bind, o.keys, o.noise, o.silence, o.quiet});
    return o;
}

struct Settings
{
    quint16 port = DefaultPort;
    QHostAddress bind;
    double noise = 0;
    LoginKeys keys;
};

// What is wrong with the options, empty when nothing is.
QString readSettings(const QCommandLineParser &parser, const Options &o, const Config &config, Settings &s)
{
    if (parser.isSet(o.port)) {
        if (!panelPort(parser.value(o.port), s.port))
            return QStringLiteral("not a port: %1").arg(parser.value(o.port));
    } else if (config.contains(QStringLiteral("TELSO_PORT"))) {
        const QString text = config.value(QStringLiteral("TELSO_PORT"), QString());
        if (!panelPort(text, s.port))
            return QStringLiteral("TELSO_PORT %1 is no port; give --port").arg(text);
    }
    s.bind = QHostAddress(parser.value(o.bind));
    if (s.bind.isNull())
        return QStringLiteral("not an address: %1").arg(parser.value(o.bind));
    if (parser.isSet(o.noise)) {
        bool ok = false;
        s.noise = parser.value(o.noise).toDouble(&ok);
        if (!ok || s.noise < 0 || s.noise > 1)
            return QStringLiteral("--noise wants a fraction from 0 to 1");
    }
    if (parser.isSet(o.keys)) {
        QString error;
        if (!s.keys.load(parser.value(o.keys), &error))
            return QStringLiteral("cannot read the keys %1: %2").arg(parser.value(o.keys), error);
        if (s.keys.isEmpty())
            return QStringLiteral("no keys in %1").arg(parser.value(o.keys));
    }
    return QString();
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kestrune-sim"));
    QCoreApplication::setApplicationVersion(kestruneVersion());

    QCommandLineParser parser;
    const Options o = addOptions(parser);
    if (!parser.parse(QCoreApplication::arguments()))
        return fail(parser.errorText());
    if (parser.isSet(o.help))
        parser.showHelp(0);
    if (parser.isSet(o.version))
        parser.showVersion();
    if (!parser.positionalArguments().isEmpty())
        return fail(QStringLiteral("unexpected argument %1").arg(parser.positionalArguments().first()));

    Config config;
    if (parser.isSet(o.config) && !config.readFile(parser.value(o.config)))
        return fail(QStringLiteral("cannot read the configuration %1").arg(parser.value(o.config)));
    Settings settings;
    const QString wrong = readSettings(parser, o, config, settings);
    if (!wrong.isEmpty())
        return fail(wrong);

    Transcript transcript;
    transcript.setQuiet(parser.isSet(o.quiet));

    RelayServer server(transcript);
    server.setKeys(settings.keys);
    PlantTree tree;
    tree.read(config);
    ValveHardware valves(tree, server);
    MfcDevices mfcs(tree, valves, server);
    mfcs.setNoise(settings.noise);
    SimControl control(server, valves);
    if (!server.listen(settings.bind, settings.port))
        return fail(QStringLiteral("cannot listen on %1:%2: %3")
                        .arg(settings.bind.toString())
                        .arg(settings.port)
                        .arg(server.errorString()));

    // Always printed, quiet or not: with --port 0 it is how callers learn the port.
    std::printf("kestrune-sim listening on %s:%u\n", qPrintable(server.address().toString()), unsigned(server.port()));
    std::fflush(stdout);

    for (const QString &address : parser.values(o.silence))
        server.silence(address);
    for (const QString &problem : tree.problems())
        transcript.note(problem);
    for (const QString &node : valves.nodeNames())
        transcript.note(QStringLiteral("valve node %1").arg(node));
    for (const QString &address : mfcs.addresses())
        transcript.note(QStringLiteral("MFC %1").arg(address));
    if (!parser.isSet(o.config))
        transcript.note(QStringLiteral("no configuration given: relaying only, no hardware"));

    return app.exec();
}
