#pragma once

#include <QByteArray>
#include <QStringList>

// A generated plant of a given size for the benchmark: repeated process
// lines, each an outlet valve fed by an MFC fed by a junction of two source
// valves (N2 and Ar). Every node has a bus name; the outlets are Line0,
// Line1, ...
struct GeneratedPlant
{
    int nodes = 0;
    int valves = 0;
    int mfcs = 0;
    int junctions = 0;
    QByteArray config;      // without the server address
    QStringList lineNames;  // bus names of the outlets
    QStringList mfcDevices; // device addresses of the MFCs
    int syncLines = 0;      // lines the panel sends its hardware after login
};

// nodes is rounded down to a multiple of the five nodes of one line.
GeneratedPlant generatePlant(int nodes);

// A diamond of junctions: two source valves (N2 on channel ch1 of DBox, Ar
// on ch2) feed both junctions of the first layer, each layer's two junctions
// feed both of the next, the last layer feeds an MFC and that the outlet
// valve "Out". Every source is reached from the outlet along 2^layers paths.
GeneratedPlant generateDiamond(int layers);
