#include "ctlclient.h"

#include "app/startup.h"
#include "common/loginkeys.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>

namespace {

int usageError(const QString &text)
{
    std::fprintf(stderr, "kestrune-ctl: %s (see --help)\n", qPrintable(text));
    return CtlClient::Failed;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kestrune-ctl"));
    QCoreApplication::setApplicationVersion(kestruneVersion());

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Sends one request over the message bus and prints the reply addressed to it: the command word and\n"
        "its text, e.g. \"@Stat V[N2 Line1,Open]\". Without a request, sends one request per line of standard\n"
        "input (blank lines and lines starting with # are skipped), each after the previous one was answered.\n"
        "Requests go out from NAME.1, NAME.2, ... so that every reply finds its way back.\n"
        "Exit status: 0 every request answered, 1 a reply did not come within --timeout,\n"
        "2 connection, login or usage error.\n"
        "Examples: kestrune-ctl Kestrune.Line1 SetNewGas N2 50\n"
        "          kestrune-ctl Kestrune Stat\n"
        "          kestrune-ctl --listen Dev1"));
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    const QCommandLineOption helpOption = parser.addHelpOption();
    const QCommandLineOption versionOption = parser.addVersionOption();
    const QCommandLineOption hostOption(QStringLiteral("host"),
                                        QStringLiteral("Message server host (default localhost)."),
                                        QStringLiteral("host"), QStringLiteral("localhost"));
    const QCommandLineOption portOption(QStringLiteral("port"), QStringLiteral("Message server port (default 6057)."),
                                        QStringLiteral("n"), QStringLiteral("6057"));
    const QCommandLineOption nameOption(QStringLiteral("name"),
                                        QStringLiteral("Name to log in with (default kestrune-ctl)."),
                                        QStringLiteral("name"), QStringLiteral("kestrune-ctl"));
    const QCommandLineOption keyOption(QStringLiteral("key"), QStringLiteral("Login key."), QStringLiteral("key"));
    const QCommandLineOption keyFileOption(QStringLiteral("key-file"),
                                           QStringLiteral("File of login keys, one per line (the name as given, no "
                                                          "extension added); the server's challenge modulo the "
                                                          "number of keys picks one. Without --key or --key-file "
                                                          "the key is empty."),
                                           QStringLiteral("file"));
    const QCommandLineOption timeoutOption(QStringLiteral("timeout"),
                                           QStringLiteral("Seconds to wait for the login and for each reply "
                                                          "(default 5)."),
                                           QStringLiteral("seconds"), QStringLiteral("5"));
    const QCommandLineOption listenOption(QStringLiteral("listen"),
                                          QStringLiteral("Follow the events of a node name or full address and print "
                                                         "them (\"SENDER COMMAND TEXT\") until interrupted "
                                                         "(repeatable)."),
                                          QStringLiteral("address"));
    const QCommandLineOption fullOption(QStringLiteral("full"),
                                        QStringLiteral("Print whole lines, addressing included."));
    parser.addOptions(
        {hostOption, portOption, nameOption, keyOption, keyFileOption, timeoutOption, listenOption, fullOption});
    parser.addPositionalArgument(QStringLiteral("destination"),
                                 QStringLiteral("Client and sub-name to ask, e.g. Kestrune.Line1."));
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("Command word and its parameters."),
                                 QStringLiteral("command [parameters...]"));

    if (!parser.parse(QCoreApplication::arguments()))
        return usageError(parser.errorText());
    if (parser.isSet(helpOption))
        parser.showHelp(0);
    if (parser.isSet(versionOption))
        parser.showVersion();

    CtlClient::Settings settings;
    settings.host = parser.value(hostOption);
    bool ok = false;
    const int port = parser.value(portOption).toInt(&ok);
    if (!ok || port < 1 || port > 65535)
        return usageError(QStringLiteral("not a port: %1").arg(parser.value(portOption)));
    settings.port = quint16(port);
    settings.name = parser.value(nameOption);
    if (settings.name.isEmpty() || settings.name.contains(QLatin1Char('.')) ||
        settings.name.contains(QLatin1Char('>')) || settings.name.contains(QLatin1Char(' ')))
        return usageError(QStringLiteral("a name holds no blank, \".\" or \">\": %1").arg(settings.name));
    const double seconds = parser.value(timeoutOption).toDouble(&ok);
    if (!ok || !(seconds > 0) || seconds > 86400)
        return usageError(QStringLiteral("not a time in seconds: %1").arg(parser.value(timeoutOption)));
    settings.timeoutMs = qMax(1, int(seconds * 1000));
    settings.fullLines = parser.isSet(fullOption);

    if (parser.isSet(keyOption) && parser.isSet(keyFileOption))
        return usageError(QStringLiteral("give --key or --key-file, not both"));
    if (parser.isSet(keyOption)) {
        settings.keys.setKeys({parser.value(keyOption).simplified()});
    } else if (parser.isSet(keyFileOption)) {
        QString error;
        if (!settings.keys.load(parser.value(keyFileOption), &error))
            return usageError(QStringLiteral("cannot read the keys %1: %2").arg(parser.value(keyFileOption), error));
        if (settings.keys.isEmpty())
            return usageError(QStringLiteral("no keys in %1").arg(parser.value(keyFileOption)));
    }

    const QStringList words = parser.positionalArguments();
    const QStringList listen = parser.values(listenOption);
    if (!listen.isEmpty() && !words.isEmpty())
        return usageError(QStringLiteral("--listen takes no request"));
    if (words.size() == 1)
        return usageError(QStringLiteral("a request needs a destination and a command"));

    CtlClient client(settings);
    QObject::connect(&client, &CtlClient::finished, &app, &QCoreApplication::exit, Qt::QueuedConnection);

    QTextStream input(stdin);
    bool given = false;
    if (!listen.isEmpty()) {
        client.runListen(listen);
    } else if (!words.isEmpty()) {
        client.runRequests([&words, &given](QString &request) {
            if (given)
                return false;
            given = true;
            request = words.join(QLatin1Char(' '));
            return true;
        });
    } else {
        client.runRequests([&input](QString &request) {
            QString line;
            while (input.readLineInto(&line)) {
                line = line.simplified();
                if (!line.isEmpty() && !line.startsWith(QLatin1Char('#'))) {
                    request = line;
                    return true;
                }
            }
            return false;
        });
    }
    return app.exec();
}
