// The daily record file: one row per valve or MFC change.
#include "window/body.h"

#include "bus/telso.h"
#include "mfc/amfc.h"
#include "nodes/anode.h"
#include "window/recordreader.h"

#include <QDateTime>
#include <QFile>
#include <QTextStream>

std::function<QDateTime()> Body::clock = [] { return QDateTime::currentDateTime(); };

QString Body::recordFileName(const QDate &date) const
{
    return bus->name + QLatin1Char('-') + date.toString(QStringLiteral("yyyyMMdd")) + QStringLiteral(".log");
}

void Body::updateRecordColumns()
{
    if (recordColumnsFrom == nodes.size())
        return;
    recordMfcs.clear();
    recordValves.clear();
    for (aNode *node : std::as_const(nodes)) {
        if (node->nodeKind == aNode::MFC)
            recordMfcs << static_cast<aMFC *>(node);
        else if (node->nodeKind == aNode::Valve)
            recordValves << node;
    }
    recordColumnsFrom = nodes.size();
}

void Body::record()
{
    updateRecordColumns();
    // One moment for the name, the seconds and the stamp, so a row written
    // at midnight cannot land in one day's file with the next day's stamp.
    const QDateTime now = clock();
    const QString name = recordFileName(now.date());

    bool existed = false;
    {
        QFile probe(name);
        existed = probe.open(QIODevice::ReadOnly | QIODevice::Text);
    }

    QFile file(name);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text))
        return;
    QTextStream out(&file);
    out.setEncoding(QStringConverter::Utf8);

    const auto header = [this] {
        QString text = QStringLiteral("#Time");
        for (const aMFC *mfc : std::as_const(recordMfcs))
            text += QLatin1Char('\t') + mfc->label;
        for (const aNode *valve : std::as_const(recordValves))
            text += QLatin1Char('\t') + valve->label;
        return text;
    };
    // A file begun by a run of another configuration gets this run's header
    // above its rows, so every row stands under the columns it holds.
    if (!existed || (recordHeaderFile != name && RecordReader::lastHeader(name) != header().toUtf8()))
        out << header() << '\n';
    recordHeaderFile = name;

    // 64-bit seconds: a 32-bit count runs out in January 2038.
    const qint64 seconds = qint64(double(now.toMSecsSinceEpoch()) / 1000.0);
    // The row is put together first and handed to the stream at once: item
    // by item, the stream's encoding dominates a row of a large plant.
    QString row = QString::number(seconds);
    row.reserve(row.size() + 8 * (recordMfcs.size() + recordValves.size()) + 32);
    for (const aMFC *mfc : std::as_const(recordMfcs)) {
        row += QLatin1Char('\t');
        row += mfc->shownFlowText();
    }
    for (const aNode *valve : std::as_const(recordValves)) {
        row += QLatin1Char('\t');
        row += valve->isOn() ? QLatin1Char('1') : QLatin1Char('0');
    }
    row += QLatin1Char('\t');
    row += now.toString(QStringLiteral("# yy/MM/dd hh.mm.ss.zz"));
    row += QLatin1Char('\n');
    out << row;
    out.flush();
    file.close();
}
