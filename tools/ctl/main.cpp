#include "ctlclient.h"

#include "app/startup.h"
#include "common/loginkeys.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>
#include <memory>

namespace {

const char description[] =
    "Sends one request over the message bus and prints the reply addressed to it: the command word and\n"
    "its text, e.g. \"@Stat V[N2 Line1,Open]\". Without a request, sends one request per line of standard\n"
    "input (blank lines and lines starting with # are skipped), each after the previous one was answered.\n"
    "Requests go out from NAME.1, NAME.2, ... so that every reply finds its way back.\n"
    "Exit status: 0 every request answered, 1 a reply did not come within --timeout,\n"
    "2 connection, login or usage error.\n"
    "Examples: kestrune-ctl Kestrune.Line1 SetNewGas N2 50\n"
    "          kestrune-ctl Kestrune Stat\n"
    "          kestrune-ctl --listen Dev1";

struct Options
{
    QCommandLineOption help;
    QCommandLineOption version;
    QCommandLineOption host;
    QCommandLineOption port;
    QCommandLineOption name;
    QCommandLineOption key;
    QCommandLineOption keyFile;
    QCommandLineOption timeout;
    QCommandLineOption listen;
    QCommandLineOption full;
};

int usageError(const QString &text)
{
    std::fprintf(stderr, "kestrune-ctl: %s (see --help)\n", qPrintable(text));
    return CtlClient::Failed;
}

Options addOptions(QCommandLineParser &parser)
{
    parser.setApplicationDescription(QString::fromUtf8(description));
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const Options o{
        help,
        version,
        QCommandLineOption(QStringLiteral("host"), QStringLiteral("Message server host (default localhost)."),
                           QStringLiteral("host"), QStringLiteral("localhost")),
        QCommandLineOption(QStringLiteral("port"), QStringLiteral("Message server port (default 6057)."),
                           QStringLiteral("n"), QStringLiteral("6057")),
        QCommandLineOption(QStringLiteral("name"), QStringLiteral("Name to log in with (default kestrune-ctl)."),
                           QStringLiteral("name"), QStringLiteral("kestrune-ctl")),
        QCommandLineOption(QStringLiteral("key"), QStringLiteral("Login key."), QStringLiteral("key")),
        QCommandLineOption(QStringLiteral("key-file"),
                           QStringLiteral("File of login keys, one per line (the name as given, no "
                                          "extension added); the server's challenge modulo the "
                                          "number of keys picks one. Without --key or --key-file "
                                          "the key is empty."),
                           QStringLiteral("file")),
        QCommandLineOption(QStringLiteral("timeout"),
                           QStringLiteral("Seconds to wait for the login and for each reply "
                                          "(default 5)."),
                           QStringLiteral("seconds"), QStringLiteral("5")),
        QCommandLineOption(QStringLiteral("listen"),
                           QStringLiteral("Follow the events of a node name or full address and print "
                                          "them (\"SENDER COMMAND TEXT\") until interrupted "
                                          "(repeatable)."),
                           QStringLiteral("address")),
        QCommandLineOption(QStringLiteral("full"), QStringLiteral("Print whole lines, addressing included.")),
    };
    parser.addOptions({o.host, o.port, o.name, o.key, o.keyFile, o.timeout, o.listen, o.full});
    parser.addPositionalArgument(QStringLiteral("destination"),
                                 QStringLiteral("Client and sub-name to ask, e.g. Kestrune.Line1."));
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("Command word and its parameters."),
                                 QStringLiteral("command [parameters...]"));
    return o;
}

// What is wrong with the options, empty when nothing is.
QString readSettings(const QCommandLineParser &parser, const Options &o, CtlClient::Settings &settings)
{
    settings.host = parser.value(o.host);
    bool ok = false;
    const int port = parser.value(o.port).toInt(&ok);
    if (!ok || port < 1 || port > 65535)
        return QStringLiteral("not a port: %1").arg(parser.value(o.port));
    settings.port = quint16(port);
    settings.name = parser.value(o.name);
    if (settings.name.isEmpty() || settings.name.contains(QLatin1Char('.')) ||
        settings.name.contains(QLatin1Char('>')) || settings.name.contains(QLatin1Char(' ')))
        return QStringLiteral("a name holds no blank, \".\" or \">\": %1").arg(settings.name);
    const double seconds = parser.value(o.timeout).toDouble(&ok);
    if (!ok || !(seconds > 0) || seconds > 86400)
        return QStringLiteral("not a time in seconds: %1").arg(parser.value(o.timeout));
    settings.timeoutMs = qMax(1, int(seconds * 1000));
    settings.fullLines = parser.isSet(o.full);

    if (parser.isSet(o.key) && parser.isSet(o.keyFile))
        return QStringLiteral("give --key or --key-file, not both");
    if (parser.isSet(o.key)) {
        settings.keys.setKeys({parser.value(o.key).simplified()});
    } else if (parser.isSet(o.keyFile)) {
        QString error;
        if (!settings.keys.load(parser.value(o.keyFile), &error))
            return QStringLiteral("cannot read the keys %1: %2").arg(parser.value(o.keyFile), error);
        if (settings.keys.isEmpty())
            return QStringLiteral("no keys in %1").arg(parser.value(o.keyFile));
    }
    return QString();
}

// One request from the command line, or one per line of standard input.
void run(CtlClient &client, const QStringList &words)
{
    if (!words.isEmpty()) {
        client.runRequests([words, given = false](QString &request) mutable {
            if (given)
                return false;
            given = true;
            request = words.join(QLatin1Char(' '));
            return true;
        });
        return;
    }
    client.runRequests([input = std::make_shared<QTextStream>(stdin)](QString &request) {
        QString line;
        while (input->readLineInto(&line)) {
            line = line.simplified();
            if (!line.isEmpty() && !line.startsWith(QLatin1Char('#'))) {
                request = line;
                return true;
            }
        }
        return false;
    });
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kestrune-ctl"));
    QCoreApplication::setApplicationVersion(kestruneVersion());

    QCommandLineParser parser;
    const Options o = addOptions(parser);
    if (!parser.parse(QCoreApplication::arguments()))
        return usageError(parser.errorText());
    if (parser.isSet(o.help))
        parser.showHelp(0);
    if (parser.isSet(o.version))
        parser.showVersion();

    CtlClient::Settings settings;
    const QString wrong = readSettings(parser, o, settings);
    if (!wrong.isEmpty())
        return usageError(wrong);
    const QStringList words = parser.positionalArguments();
    const QStringList listen = parser.values(o.listen);
    if (!listen.isEmpty() && !words.isEmpty())
        return usageError(QStringLiteral("--listen takes no request"));
    if (words.size() == 1)
        return usageError(QStringLiteral("a request needs a destination and a command"));

    CtlClient client(settings);
    QObject::connect(&client, &CtlClient::finished, &app, &QCoreApplication::exit, Qt::QueuedConnection);
    if (!listen.isEmpty())
        client.runListen(listen);
    else
        run(client, words);
    return app.exec();
}
