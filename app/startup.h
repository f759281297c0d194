#pragma once

#include <QString>

class Config;
class QTranslator;

// "Kestrune.cfg" beside the executable, canonical; empty when it is missing.
QString defaultConfigPath();

// The file to read: the default, overridden by the last "-c", then by the
// last "-config".
QString chooseConfigPath(const Config &cfg, const QString &defaultPath);

// Japanese unless the last of "-j" and "-e" after the program path is "-e".
bool japaneseWanted(int argc, char **argv);

// Loads the embedded Japanese catalogue into translator.
bool loadCatalogue(QTranslator &translator);

// True when "-check" is among the arguments after the program path.
bool checkWanted(int argc, char **argv);

// Prints every problem of the configuration in cfg to standard output, one
// per line; the exit status: 0 when there is none, 1 otherwise.
int printPlantCheck(const Config &cfg);
