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

// Every figure of one build of the panel.
struct PanelFigures
{
    QString name;
    QString binary;
    QList<PlantFigures> plants;
    DiamondFigures diamond;
    CheckFigures check;
};

// One table per build, then the targets, judged on the last build (the
// others, when given, are what it is compared with).
QString tableText(const MachineInfo &machine, const BaselineFigures &baseline, const QList<PanelFigures> &panels);
QJsonObject toJson(const MachineInfo &machine, const BaselineFigures &baseline, const QList<PanelFigures> &panels);
