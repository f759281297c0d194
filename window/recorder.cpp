#include "window/recorder.h"

#include "nodes/anode.h"
#include "window/checkedappend.h"

Recorder::Recorder(const QString &name, std::function<QDateTime()> clock, CheckedAppend *file)
    : name(name), clock(std::move(clock)), file(file)
{
}

void Recorder::setColumns(const QList<aNode *> &mfcs, const QList<aNode *> &valves)
{
    columns = mfcs + valves;
    header = QStringLiteral("#Time");
    for (const aNode *node : std::as_const(columns))
        header += QLatin1Char('\t') + node->label;
    header += QLatin1Char('\n');
}

QString Recorder::fileName(const QDate &date) const
{
    return name + QLatin1Char('-') + date.toString(QStringLiteral("yyyyMMdd")) + QStringLiteral(".log");
}

void Recorder::record()
{
    // One moment for the name, the seconds and the stamp, so a row written
    // at midnight cannot land in one day's file with the next day's stamp.
    const QDateTime now = clock();

    // 64-bit seconds: a 32-bit count runs out in January 2038.
    const qint64 seconds = qint64(double(now.toMSecsSinceEpoch()) / 1000.0);
    // The row is put together first and encoded at once: item by item, the
    // encoding dominates a row of a large plant.
    QString row = QString::number(seconds);
    row.reserve(row.size() + 8 * columns.size() + 32);
    for (const aNode *node : std::as_const(columns)) {
        row += QLatin1Char('\t');
        row += node->recordText();
    }
    row += QLatin1Char('\t');
    row += now.toString(QStringLiteral("# yy/MM/dd hh.mm.ss.zz"));
    row += QLatin1Char('\n');
    file->append(fileName(now.date()), row, header);
}
