#pragma once

#include <QByteArray>
#include <QString>

class TempWorkDir;

// Replaces the global configuration with text, written as plant.cfg into dir.
// Unless the text names one, the server port is 1, where nothing listens, so
// a panel built from it stays offline.
void loadConfig(const TempWorkDir &dir, const QByteArray &text);

// Layers of two junctions, each feeding both of the next; the N2 valve 1 and the Ar valve 2 under the
// first pair, MFC 1 (bus name "Top", line 3) over the last: 2^layers paths lead from it to the valves.
QByteArray diamondPlant(int layers);
