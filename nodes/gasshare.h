#pragma once

#include <QList>
#include <QString>

// One gas of a mixture and how much of it flows.
struct GasShare
{
    bool valid = true;
    double amount = 0.0;
    QString gas;
};

using GasMixture = QList<GasShare>;
