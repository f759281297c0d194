#pragma once

#include <QByteArray>

class TempWorkDir;

// Replaces the global configuration with text, written as plant.cfg into dir.
// Unless the text names one, the server port is 1, where nothing listens, so
// a panel built from it stays offline.
void loadConfig(const TempWorkDir &dir, const QByteArray &text);
