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

// The diamond plant: start-up, and how long the panel stops answering while
// it repaints after a valve changes.
struct DiamondFigures
{
    GeneratedPlant plant;
    int layers = 0;
    QList<double> startupMs;
    double startupMedianMs = 0;
    QList<double> pausesMs;
    double pauseMedianMs = 0;
    QString error;
};

// "-check" of a large configuration.
struct CheckFigures
{
    GeneratedPlant plant;
    QList<double> runsMs;
    double medianMs = 0;
    QString error;
};

// Runs one build of the panel (and this program as the bare client).
class Measurements
{
public:
    explicit Measurements(const QString &panelBinary);

    static BaselineFigures baseline();
    PlantFigures plant(int nodes);
    DiamondFigures diamond(int layers);
    CheckFigures check(int valves);
    // p99 request latency of a panel of 100 MFCs that report five times a
    // second each, without and with its trend window open: the median of
    // rounds runs of each.
    void trendLive(TrendFigures &f, int rounds = 5);

    // Background lines per second during the latency probes.
    static constexpr int backgroundRate = 10000;
    static constexpr int startupRuns = 5;

    // A run slower than this is not repeated: one is enough to tell.
    static constexpr int slowRunMs = 10000;

private:
    QString panelBinary;
};

// The bare client: reads each line and writes one reply line, nothing else.
int runEchoClient(quint16 port);
