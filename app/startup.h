#pragma once

#include <QString>
#include <QStringList>

class Config;
class QTranslator;

// The version of every program of the project, from project() in CMake.
QString kestruneVersion();

// Where the default configuration is looked for, in order: "Kestrune.cfg"
// beside the executable, in $XDG_CONFIG_HOME/kestrune, in /etc/kestrune.
QStringList defaultConfigCandidates();

// The first of them that exists, canonical; empty when none does.
QString defaultConfigPath();

// In words, for the window: why no configuration was read from path.
QString configNotice(const Config &cfg, const QString &path);

// $XDG_STATE_HOME/kestrune (~/.local/state/kestrune by default).
QString stateFolder();

// Makes stateFolder() the working directory, creating it when create is set;
// an empty text on success, else what went wrong in words.
QString enterStateFolder(bool create);

// As the panel starts: from the desktop, enters the state folder; then reads
// the configuration the arguments choose into the global config. Returns what
// went wrong, in words for the window; empty when nothing did.
QString readStartupConfiguration(int argc, char **argv, bool desktop);

// One line on standard error for each argument that no option reads.
void warnUnusedArguments(const QStringList &args);

// The file to read: the default, overridden by the last "-c", then by the
// last "-config".
QString chooseConfigPath(const Config &cfg, const QString &defaultPath);

// Japanese unless the last of "-j" and "-e" after the program path is "-e".
bool japaneseWanted(int argc, char **argv);

// Names the desktop entry the panel's windows belong to, and their icon.
void identifyApplication();

// Holds the style's pixmap cache small: a long run restyles valve buttons
// all the time.
void limitStyleCaches();

// Unless the arguments ask for English, loads the Japanese catalogues, the
// panel's and Qt's, and installs them; both must outlive their use.
void installCatalogues(int argc, char **argv, QTranslator &translator, QTranslator &qtTranslator);

// Loads the embedded Japanese catalogue into translator.
bool loadCatalogue(QTranslator &translator);

// Loads Qt's own Japanese catalogue (dialog buttons, context menus).
bool loadQtCatalogue(QTranslator &translator);

// True when "-check" is among the arguments after the program path.
bool checkWanted(int argc, char **argv);

// Prints every problem of the configuration in cfg to standard output, one
// per line; the exit status: 0 when there is none, 1 otherwise.
int printPlantCheck(const Config &cfg);
