#pragma once

#include "plantgenerator.h"
#include "trendbench.h"

#include <QList>
#include <QString>

// What the bare loopback client achieves: the limit of socket and event loop.
struct BaselineFigures
{
    qint64 requests = 0;
    double requestsPerSecond = 0;
    int probes = 0;
    double p50Ms = 0;
    double p99Ms = 0;
    QString error;
};

struct PlantFigures
{
    GeneratedPlant plant;
    QList<double> startupMs;
    double startupMedianMs = 0;
    double residentMB = 0;
    qint64 requests = 0;
    double requestsPerSecond = 0;
    double microsPerRequest = 0;
    int probes = 0;
    double p50Ms = 0;
    double p99Ms = 0;
    qint64 events = 0;
    qint64 rowsWritten = 0;
    double recordsPerSecond = 0;
    QString error;
};

// Runs the built panel (and this program as the bare client) from binDir.
class Measurements
{
public:
    explicit Measurements(const QString &binDir);

    BaselineFigures baseline();
    PlantFigures plant(int nodes);
    // p99 request latency of a panel of 100 MFCs that report five times a
    // second each, without and with its trend window open: the median of
    // rounds runs of each.
    void trendLive(TrendFigures &f, int rounds = 5);

    // Background lines per second during the latency probes.
    static constexpr int backgroundRate = 10000;
    static constexpr int startupRuns = 5;

private:
    QString binDir;
};

// The bare client: reads each line and writes one reply line, nothing else.
int runEchoClient(quint16 port);
