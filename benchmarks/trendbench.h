#pragma once

#include <QJsonObject>
#include <QList>
#include <QString>

// The trend figures: a generated day of a large plant's record file opened,
// drawn and zoomed in the trend window (in a process of its own, for its
// memory), and the panel's request latency with the trend window open
// while its MFCs report.
struct TrendFigures
{
    int mfcs = 0;
    int valves = 0;
    qint64 rows = 0;
    qint64 fileBytes = 0;
    double readMs = 0;
    double drawnMs = 0;
    double drawnCpuMs = 0;
    QList<double> zoomMs;
    double zoomMedianMs = 0;
    double zoomMaxMs = 0;
    double zoomCpuMs = 0;
    double peakMB = 0;
    QString error;

    int liveMfcs = 0;
    int liveReportsPerSecond = 0;
    double liveP99WithoutMs = 0;
    double liveP99WithMs = 0;
    // The panel's processor time per second of the measurement.
    double liveCpuWithoutMs = 0;
    double liveCpuWithMs = 0;
    QString liveError;
};

// Writes one local day of record rows for a plant of mfcs MFCs and valves
// valves, each row changing one column; false when it cannot be written.
bool writeRecordDay(const QString &path, int mfcs, int valves, qint64 rows);

// The child's side: opens file in the trend window and prints its figures
// as one JSON object.
int runTrendFileBench(int argc, char **argv, const QString &file);

// The parent's side: generates the file under dataDir unless it is there,
// and runs benchBinary as the child.
void measureTrendFile(TrendFigures &f, const QString &benchBinary, const QString &dataDir);

QString trendText(const TrendFigures &f);
QJsonObject trendJson(const TrendFigures &f);
