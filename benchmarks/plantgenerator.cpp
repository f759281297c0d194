#include "plantgenerator.h"

namespace {

// Panel grids take columns 0..255; beyond that the lines share cells.
int column(int index)
{
    return index % 200;
}

} // namespace

GeneratedPlant generatePlant(int nodes)
{
    GeneratedPlant p;
    const int lines = qMax(1, nodes / 5);
    p.nodes = lines * 5;
    p.valves = lines * 3;
    p.mfcs = lines;
    p.junctions = lines;
    p.syncLines = p.valves * 2 + p.mfcs * 4;

    QByteArray &c = p.config;
    c += "NAME_ON_TELSO Kestrune\nKEY_FILE_NAME Kestrune\n";
    for (int k = 0; k < lines; ++k) {
        const QByteArray n = QByteArray::number(k);
        const QByteArray box = "VBox" + n;
        const int x = int(100.0 * (k + 0.5) / lines);
        const QByteArray vx = QByteArray::number(x);
        const int v = 3 * k + 1;
        c += "VALVE " + QByteArray::number(v) + ' ' + QByteArray::number(column(v)) + " N2 1.0 Src" + n + ' ' + box +
             " ch1 " + QByteArray::number(qMax(0, x - 1)) + " 10 1 2\n";
        c += "VALVE " + QByteArray::number(v + 1) + ' ' + QByteArray::number(column(v + 1)) + " Ar 1.4 Src" + n + ' ' +
             box + " ch2 " + QByteArray::number(x + 1) + " 10 1 2\n";
        c += "VALVE " + QByteArray::number(v + 2) + ' ' + QByteArray::number(column(v + 2)) + " N2,Ar 1.0 Line" + n +
             ' ' + box + " ch3 " + vx + " 80 1 2\n";
        c += "MFC " + QByteArray::number(k + 1) + ' ' + QByteArray::number(column(k)) + " N2 1.0 MFC" + n + " MBox" +
             n + " c1 " + vx + " 55 2 3 0 0\n";
        c += "NODE " + QByteArray::number(k + 1) + " - 0 J" + n + ' ' + vx + " 30 2 1\n";
        p.lineNames << QStringLiteral("Line%1").arg(k);
        p.mfcDevices << QStringLiteral("MBox%1.c1").arg(k);
    }
    for (int k = 0; k < lines; ++k) {
        const QByteArray n = QByteArray::number(k);
        const QByteArray v = QByteArray::number(3 * k + 1);
        const QByteArray m = QByteArray::number(k + 1);
        c += "CONNECT VALVE " + v + " NODE " + m + '\n';
        c += "CONNECT VALVE " + QByteArray::number(3 * k + 2) + " NODE " + m + '\n';
        c += "CONNECT NODE " + m + " MFC " + m + '\n';
        c += "CONNECT MFC " + m + " VALVE " + QByteArray::number(3 * k + 3) + '\n';
        c += "TELSO_CH Src" + n + "a VALVE " + v + '\n';
        c += "TELSO_CH Src" + n + "b VALVE " + QByteArray::number(3 * k + 2) + '\n';
        c += "TELSO_CH Line" + n + " VALVE " + QByteArray::number(3 * k + 3) + '\n';
        c += "TELSO_CH Mfc" + n + " MFC " + m + '\n';
        c += "TELSO_CH J" + n + " NODE " + m + '\n';
    }
    return p;
}

GeneratedPlant generateDiamond(int layers)
{
    GeneratedPlant p;
    layers = qMax(1, layers);
    p.valves = 3;
    p.mfcs = 1;
    p.junctions = 2 * layers;
    p.nodes = p.valves + p.mfcs + p.junctions;
    p.syncLines = p.valves * 2 + p.mfcs * 4;
    p.lineNames << QStringLiteral("Out");
    p.mfcDevices << QStringLiteral("MBox.c1");

    QByteArray &c = p.config;
    c += "NAME_ON_TELSO Kestrune\nKEY_FILE_NAME Kestrune\nDISP_WIDTH 100\nDISP_HEIGHT 100\n";
    c += "VALVE 1 0 N2 1.0 Src DBox ch1 28 92 4 4\nVALVE 2 1 Ar 1.4 Src DBox ch2 68 92 4 4\n";
    c += "VALVE 3 2 N2,Ar 1.0 Out DBox ch3 48 2 4 4\n";
    c += "MFC 1 0 N2 1.0 MFC1 MBox c1 46 8 8 3 0 0\n";
    for (int k = 0; k < layers; ++k) {
        const QByteArray y = QByteArray::number(86 - 74 * k / layers);
        c += "NODE " + QByteArray::number(2 * k + 1) + " - 0 A" + QByteArray::number(k) + " 30 " + y + " 2 1\n";
        c += "NODE " + QByteArray::number(2 * k + 2) + " - 0 B" + QByteArray::number(k) + " 70 " + y + " 2 1\n";
    }
    for (const char *source : {"1", "2"})
        c += QByteArray("CONNECT VALVE ") + source + " NODE 1\nCONNECT VALVE " + source + " NODE 2\n";
    for (int k = 0; k + 1 < layers; ++k) {
        for (int from : {2 * k + 1, 2 * k + 2}) {
            for (int to : {2 * k + 3, 2 * k + 4})
                c += "CONNECT NODE " + QByteArray::number(from) + " NODE " + QByteArray::number(to) + '\n';
        }
    }
    c += "CONNECT NODE " + QByteArray::number(2 * layers - 1) + " MFC 1\nCONNECT NODE " +
         QByteArray::number(2 * layers) + " MFC 1\nCONNECT MFC 1 VALVE 3\n";
    c += "TELSO_CH Out VALVE 3\nTELSO_CH Src VALVE 1\n";
    return p;
}
