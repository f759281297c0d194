// The trend window's files: record files read in, and what it shows saved
// as a picture or as CSV.
#include "window/trendwindow.h"

#include "window/trendcsv.h"
#include "window/trendmodel.h"

#include <QSaveFile>

void TrendWindow::recordRead(const QString &fileName, const RecordData &summary)
{
    QString text;
    if (!summary.error.isEmpty()) {
        text = tr("%1: cannot be read (%2)").arg(fileName, summary.error);
    } else {
        const RecordSkips &k = summary.skips;
        QStringList parts;
        if (k.cutShort)
            parts << tr("cut short: %1").arg(k.cutShort);
        if (k.misfits)
            parts << tr("not fitting their header: %1").arg(k.misfits);
        if (k.notNumbers)
            parts << tr("not numbers: %1").arg(k.notNumbers);
        if (k.foreign)
            parts << tr("lines of other text: %1").arg(k.foreign);
        text = tr("%1: rows read: %2").arg(fileName).arg(summary.rows);
        if (!parts.isEmpty())
            text += tr("; skipped: %1").arg(parts.join(QStringLiteral(", ")));
        if (k.outOfOrder)
            text += tr("; older than the row before, drawn at its time: %1").arg(k.outOfOrder);
    }
    reports << text;
    ReportLabel->setText(reports.join(QLatin1Char('\n')));
}

void TrendWindow::openFiles(const QStringList &paths)
{
    for (const QString &path : paths) {
        if (!model->loadRecord(path)) {
            reports << tr("%1: already shown").arg(path);
            ReportLabel->setText(reports.join(QLatin1Char('\n')));
        }
    }
}

bool TrendWindow::exportPng(const QString &path)
{
    return Plots->grab().save(path, "PNG");
}

bool TrendWindow::exportCsv(const QString &path)
{
    QList<qsizetype> curves;
    QStringList names;
    for (QTreeWidgetItem *g : std::as_const(groups)) {
        for (int k = 0; k < g->childCount() && !g->isHidden(); ++k) {
            if (g->child(k)->checkState(0) != Qt::Checked)
                continue;
            const qsizetype i = g->child(k)->data(0, Qt::UserRole).value<qsizetype>();
            curves << i;
            // Column names stay the same in every language of the window.
            const TrendSeries &s = model->at(i);
            names << s.label + (s.kind == TrendSeries::SetPoint ? QStringLiteral(" set value") : QString()) +
                         (s.occurrence > 0 ? QStringLiteral(" (%1)").arg(s.occurrence + 1) : QString());
        }
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    return writeTrendCsv(&file, *model, curves, names, from, to) && file.commit();
}
