#include "app/commandline.h"

#include "config/config.h"

namespace CommandLine {

namespace {

const Option panelOptions[] = {
    {"-c", nullptr, Takes::One, "FILE", "read this configuration file instead of the default one"},
    {"-config", nullptr, Takes::One, "FILE", "the same; wins over -c when both are given"},
    {"-j", nullptr, Takes::Nothing, nullptr, "Japanese user interface (the default)"},
    {"-e", nullptr, Takes::Nothing, nullptr, "English user interface; the last of -j and -e decides"},
    {"-check", nullptr, Takes::Nothing, nullptr,
     "check the configuration instead of starting the panel: one line per problem, exit status 1 when "
     "there is one"},
    {"--desktop", nullptr, Takes::Nothing, nullptr,
     "work in $XDG_STATE_HOME/kestrune (record file, log.log, key file); the desktop entry starts the "
     "panel so"},
    {"-trends", nullptr, Takes::Nothing, nullptr, "open the trend window with the panel"},
    {"--trend", nullptr, Takes::UpToNextOption, "FILE...",
     "show these record files in the trend window alone: no configuration, no connection, no file written"},
    {"--png", nullptr, Takes::One, "FILE", "with --trend: save the plots shown as a PNG picture and exit"},
    {"--csv", nullptr, Takes::One, "FILE", "with --trend: save the curves shown as CSV and exit"},
    {"--help", "-h", Takes::Nothing, nullptr, "print this text and exit"},
    {"--version", nullptr, Takes::Nothing, nullptr, "print the version and exit"},
};

// Taken out of the arguments by Qt before the panel looks at them (a "--"
// form is taken too); -check runs without Qt's display part, so it must know
// them to leave them alone.
const Option qtOptions[] = {
    {"-platform", nullptr, Takes::One, "NAME", "display platform plugin, e.g. xcb, wayland, offscreen"},
    {"-platformpluginpath", nullptr, Takes::One, "PATH", "where to look for platform plugins"},
    {"-platformtheme", nullptr, Takes::One, "NAME", "platform theme"},
    {"-plugin", nullptr, Takes::One, "NAME", "load an extra plugin"},
    {"-display", nullptr, Takes::One, "DISPLAY", "X11 display to use"},
    {"-qwindowgeometry", nullptr, Takes::One, "GEOMETRY", "size and place of the window, e.g. 800x600+0+0"},
    {"-geometry", nullptr, Takes::One, "GEOMETRY", "the same (X11)"},
    {"-qwindowtitle", nullptr, Takes::One, "TITLE", "title of the window"},
    {"-qwindowicon", nullptr, Takes::One, "FILE", "icon of the window"},
    {"-style", nullptr, Takes::One, "NAME", "widget style, e.g. Fusion"},
    {"-stylesheet", nullptr, Takes::One, "FILE", "style sheet applied to the whole panel"},
    {"-reverse", nullptr, Takes::Nothing, nullptr, "right-to-left layout"},
    {"-session", nullptr, Takes::One, "ID", "restore the given session"},
    {"-widgetcount", nullptr, Takes::Nothing, nullptr, "print the number of widgets left at the end"},
};

bool matches(const Option &o, const QString &arg)
{
    return arg == QLatin1String(o.name) || (o.alias && arg == QLatin1String(o.alias));
}

const Option *find(const QString &arg)
{
    for (const Option &o : panelOptions)
        if (matches(o, arg))
            return &o;
    const QString single = arg.startsWith(QLatin1String("--")) ? arg.mid(1) : arg;
    for (const Option &o : qtOptions)
        if (matches(o, single))
            return &o;
    return nullptr;
}

// One row per option, the help wrapped to fit 80 columns.
template <size_t N> void describe(QString &text, const Option (&table)[N])
{
    constexpr int column = 28;
    constexpr int width = 79;
    for (const Option &o : table) {
        QString line = QStringLiteral("  ");
        if (o.alias)
            line += QLatin1String(o.alias) + QLatin1String(", ");
        line += QLatin1String(o.name);
        if (o.valueName)
            line += QLatin1Char(' ') + QLatin1String(o.valueName);
        for (const QString &word : QString::fromLatin1(o.help).split(QLatin1Char(' '))) {
            if (line.size() < column) {
                line = line.leftJustified(column);
            } else if (line.size() + 1 + word.size() > width) {
                text += line + QLatin1Char('\n');
                line = QString(column, QLatin1Char(' '));
            } else {
                line += QLatin1Char(' ');
            }
            line += word;
        }
        text += line + QLatin1Char('\n');
    }
}

} // namespace

QStringList arguments(int argc, char **argv)
{
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromUtf8(argv[i]);
    return args;
}

bool given(const QStringList &args, const char *name)
{
    const Option *row = find(QLatin1String(name));
    for (const QString &arg : args)
        if (row ? matches(*row, arg) : arg == QLatin1String(name))
            return true;
    return false;
}

QString usage()
{
    QString text = QStringLiteral("Usage: kestrune [options] [Qt options]\n"
                                  "       kestrune -check [-c FILE | -config FILE]\n"
                                  "\n"
                                  "The control panel of a gas-supply plant on the TELSO message bus.\n"
                                  "Without -c or -config the configuration is Kestrune.cfg beside the program,\n"
                                  "else $XDG_CONFIG_HOME/kestrune/Kestrune.cfg, else /etc/kestrune/Kestrune.cfg.\n"
                                  "\n"
                                  "Options:\n");
    describe(text, panelOptions);
    text += QStringLiteral("\nQt options (taken by the toolkit; \"--\" works too):\n");
    describe(text, qtOptions);
    return text;
}

QStringList unused(const QStringList &args)
{
    QStringList left;
    for (qsizetype i = 0; i < args.size();) {
        const Option *o = find(args.at(i));
        if (!o) {
            left << args.at(i++);
            continue;
        }
        ++i;
        if (o->takes == Takes::One && i < args.size() && !isOptionWord(args.at(i)))
            ++i;
        else if (o->takes == Takes::UpToNextOption)
            while (i < args.size() && !args.at(i).startsWith(QLatin1Char('-')))
                ++i;
    }
    return left;
}

} // namespace CommandLine
