#pragma once

#include <QList>
#include <QStringList>

class QIODevice;
class TrendModel;

// The shown range of the chosen curves as comma-separated text: a header
// "Time" and one column per curve, then a row at the start of the range and
// one at every change of any curve inside it. Times are ISO 8601 local
// times with their offset; a cell is empty where its curve shows nothing.
// False when out could not take it all.
bool writeTrendCsv(QIODevice *out, const TrendModel &model, const QList<qsizetype> &curves, const QStringList &names,
                   qint64 from, qint64 to);

// A field quoted where it holds a comma, a quote or a line end.
QByteArray csvField(const QString &text);
