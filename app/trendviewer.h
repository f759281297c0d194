#pragma once

// True when "--trend" is among the arguments after the program path.
bool trendViewerWanted(int argc, char **argv);

// The trend window alone, for the record files named on the command line
// (the arguments that do not start with "-"):
// no configuration is read, no connection made, no file written. With
// "--png FILE" or "--csv FILE" the range shown once everything is read and
// drawn is saved there and the program ends (status 1 when a file could
// not be read or saved).
int runTrendViewer(int argc, char **argv);
