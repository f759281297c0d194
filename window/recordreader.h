#pragma once

#include "window/trendseries.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <atomic>

// What a record file held that could not be drawn.
struct RecordSkips
{
    qint64 cutShort = 0;   // rows without their closing time stamp
    qint64 misfits = 0;    // rows with another number of columns than their header, or none above them
    qint64 notNumbers = 0; // rows with a field that is not a number
    qint64 foreign = 0;    // lines that are neither a header nor a row
    qint64 outOfOrder = 0; // rows older than the row before them (drawn at that row's time)

    qint64 skipped() const { return cutShort + misfits + notNumbers + foreign; }
};

// The curves of one record file, one per column of its headers.
struct RecordData
{
    QList<TrendSeries> series;
    qint64 rows = 0;
    RecordSkips skips;
    QString error; // the file could not be read
};

// Reads the daily record file: a "#Time" header naming the MFC columns,
// then the valve columns, above rows of epoch seconds, those columns and a
// time stamp. A header written by another configuration may stand above
// later rows, so each row is read by the header above it. Whatever is not
// a sound row is skipped and counted, never guessed at.
//
// Each row changes few columns, so a row is compared byte for byte with
// the one before it and only the fields that differ are read as numbers.
class RecordReader
{
public:
    // The file is read a block at a time.
    static constexpr qsizetype defaultBlockBytes = 8 << 20;
    // A line longer than this is no row.
    static constexpr qsizetype longestLine = 16 << 20;

    explicit RecordReader(const std::atomic_bool *cancel = nullptr, qsizetype blockBytes = defaultBlockBytes)
        : cancel(cancel), blockBytes(blockBytes)
    {
    }

    RecordData read(const QString &path);
    // The same for a text already in memory.
    RecordData readText(const QByteArray &text);

private:
    struct Column
    {
        QString label;
        QList<qint64> times;
        QList<double> values;
        double last = 0; // values' last, kept beside the column's name
        bool onlyZeroOne = true;
    };

    void takeBlock(const QByteArray &block, QByteArray &carried, bool &skipToLineEnd);
    void line(const char *begin, const char *end);
    void header(const char *begin, const char *end);
    void row(const char *begin, const char *end);
    bool changedFields(const char *fields, qsizetype size, qsizetype &first, qsizetype &count, qsizetype &from) const;
    void keepRow(const char *fields, qsizetype size, qsizetype first, qsizetype count);
    // Reads count fields from fields + from, each ended by a tab.
    bool parseFields(const char *fields, qsizetype from, qsizetype count);
    void endSection();
    void keepPrevious();
    void finish();

    const std::atomic_bool *cancel = nullptr;
    qsizetype blockBytes;
    RecordData data;
    bool haveHeader = false;
    QList<Column> columns;
    QList<double> parsed;
    QList<qsizetype> parsedStarts;
    // Where each field of the last sound row starts, from its first field.
    QList<qsizetype> offsets;
    qint64 sectionEndMs = 0;
    qint64 lastMs = std::numeric_limits<qint64>::min();
    qint64 rowMs = 0;
    // The fields of the last sound row of this header: they point into the
    // block read, or into kept once the block moves on.
    const char *previous = nullptr;
    qsizetype previousSize = -1;
    QByteArray kept;
};
