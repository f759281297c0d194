#pragma once

#include <QStringList>

// The panel's command line as one table: the usage text is made from it, and
// so is the judgement which arguments nothing reads. A new option is one more
// row. Matching is exact and case-sensitive, as the configuration's is.
namespace CommandLine {

enum class Takes {
    Nothing,
    One,            // the next argument, unless it is an option itself
    UpToNextOption, // every argument up to the next one starting with "-"
};

struct Option
{
    const char *name;
    const char *alias; // or nullptr
    Takes takes;
    const char *valueName;
    const char *help;
};

// The arguments after the program path, as the configuration takes them.
QStringList arguments(int argc, char **argv);

// True when name (or its row's alias) is among args.
bool given(const QStringList &args, const char *name);

// Every option of the panel and of Qt, described.
QString usage();

// The arguments that no option reads, in order.
QStringList unused(const QStringList &args);

} // namespace CommandLine
