#pragma once

#include "measurements.h"

#include <QJsonObject>
#include <QList>
#include <QString>

// The machine the figures were taken on, as far as the system tells.
struct MachineInfo
{
    QString cpu;
    int cores = 0;
    double memoryGB = 0;
    QString kernel;
    QString qt;
    QString loadAverage;
};

MachineInfo describeMachine();

// One table of every figure and ratio, for the terminal.
QString tableText(const MachineInfo &machine, const BaselineFigures &baseline, const QList<PlantFigures> &plants);
QJsonObject toJson(const MachineInfo &machine, const BaselineFigures &baseline, const QList<PlantFigures> &plants);
