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

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kestrune-sim"));
    QCoreApplication::setApplicationVersion(kestruneVersion());

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "A message server with simulated valves and mass-flow controllers behind it, built from the panel's\n"
        "configuration file. Prints \"kestrune-sim listening on ADDRESS:PORT\" first, then a time-stamped\n"
        "transcript of every line received (<-), sent (->) or dropped (xx). Requests to the name \"Sim\"\n"
        "inject faults: Silence ADDRESS, Unsilence ADDRESS, Drop CLIENT, Raw CLIENT TEXT,\n"
        "SetChannel NODE CHANNEL 0|1, Stick NODE.CHANNEL, Unstick NODE.CHANNEL, Help."));
    const QCommandLineOption helpOption = parser.addHelpOption();
    const QCommandLineOption versionOption = parser.addVersionOption();
    const QCommandLineOption configOption({QStringLiteral("c"), QStringLiteral("config")},
                                          QStringLiteral("Plant configuration file (the panel's)."),
                                          QStringLiteral("file"));
    const QCommandLineOption portOption(QStringLiteral("port"),
                                        QStringLiteral("Port to listen on; 0 picks a free one. Default: the "
                                                       "configuration's TELSO_PORT, else 6057."),
                                        QStringLiteral("n"));
    const QCommandLineOption bindOption(QStringLiteral("bind"),
                                        QStringLiteral("Address to listen on (default 127.0.0.1)."),
                                        QStringLiteral("address"), QStringLiteral("127.0.0.1"));
    const QCommandLineOption keysOption(QStringLiteral("keys"),
                                        QStringLiteral("Key file: a login must bring the key its challenge "
                                                       "selects (challenge mod number of keys). Without it any "
                                                       "key is taken."),
                                        QStringLiteral("file"));
    const QCommandLineOption noiseOption(QStringLiteral("noise"),
                                         QStringLiteral("Relative noise on measured flows, e.g. 0.02."),
                                         QStringLiteral("fraction"));
    const QCommandLineOption silenceOption(QStringLiteral("silence"),
                                           QStringLiteral("Start with this device address or node silenced "
                                                          "(repeatable)."),
                                           QStringLiteral("address"));
    const QCommandLineOption quietOption(QStringLiteral("quiet"), QStringLiteral("Print no transcript."));
    parser.addOptions({configOption, portOption, bindOption, keysOption, noiseOption, silenceOption, quietOption});
    if (!parser.parse(QCoreApplication::arguments()))
        return fail(parser.errorText());
    if (parser.isSet(helpOption))
        parser.showHelp(0);
    if (parser.isSet(versionOption))
        parser.showVersion();
    if (!parser.positionalArguments().isEmpty())
        return fail(QStringLiteral("unexpected argument %1").arg(parser.positionalArguments().first()));

    Config config;
    if (parser.isSet(configOption) && !config.readFile(parser.value(configOption)))
        return fail(QStringLiteral("cannot read the configuration %1").arg(parser.value(configOption)));

    quint16 port = DefaultPort;
    if (parser.isSet(portOption)) {
        if (!panelPort(parser.value(portOption), port))
            return fail(QStringLiteral("not a port: %1").arg(parser.value(portOption)));
    } else if (config.contains(QStringLiteral("TELSO_PORT"))) {
        const QString text = config.value(QStringLiteral("TELSO_PORT"), QString());
        if (!panelPort(text, port))
            return fail(QStringLiteral("TELSO_PORT %1 is no port; give --port").arg(text));
    }
    const QHostAddress bindAddress(parser.value(bindOption));
    if (bindAddress.isNull())
        return fail(QStringLiteral("not an address: %1").arg(parser.value(bindOption)));

    double noise = 0;
    if (parser.isSet(noiseOption)) {
        bool ok = false;
        noise = parser.value(noiseOption).toDouble(&ok);
        if (!ok || noise < 0 || noise > 1)
            return fail(QStringLiteral("--noise wants a fraction from 0 to 1"));
    }

    LoginKeys keys;
    if (parser.isSet(keysOption)) {
        QString error;
        if (!keys.load(parser.value(keysOption), &error))
            return fail(QStringLiteral("cannot read the keys %1: %2").arg(parser.value(keysOption), error));
        if (keys.isEmpty())
            return fail(QStringLiteral("no keys in %1").arg(parser.value(keysOption)));
    }

    Transcript transcript;
    transcript.setQuiet(parser.isSet(quietOption));

    RelayServer server(transcript);
    server.setKeys(keys);
    PlantTree tree;
    tree.read(config);
    ValveHardware valves(tree, server);
    MfcDevices mfcs(tree, valves, server);
    mfcs.setNoise(noise);
    SimControl control(server, valves);
    if (!server.listen(bindAddress, port))
        return fail(QStringLiteral("cannot listen on %1:%2: %3")
                        .arg(bindAddress.toString())
                        .arg(port)
                        .arg(server.errorString()));

    // Always printed, quiet or not: with --port 0 it is how callers learn the port.
    std::printf("kestrune-sim listening on %s:%u\n", qPrintable(server.address().toString()), unsigned(server.port()));
    std::fflush(stdout);

    for (const QString &address : parser.values(silenceOption))
        server.silence(address);
    for (const QString &problem : tree.problems())
        transcript.note(problem);
    for (const QString &node : valves.nodeNames())
        transcript.note(QStringLiteral("valve node %1").arg(node));
    for (const QString &address : mfcs.addresses())
        transcript.note(QStringLiteral("MFC %1").arg(address));
    if (!parser.isSet(configOption))
        transcript.note(QStringLiteral("no configuration given: relaying only, no hardware"));

    return app.exec();
}
