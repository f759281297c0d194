#include "window/trendcsv.h"

#include "window/trendmodel.h"

#include <QDateTime>
#include <QIODevice>
#include <QLocale>

#include <cmath>
#include <queue>

QByteArray csvField(const QString &text)
{
    QByteArray bytes = text.toUtf8();
    if (bytes.contains(',') || bytes.contains('"') || bytes.contains('\n') || bytes.contains('\r'))
        bytes = '"' + bytes.replace('"', "\"\"") + '"';
    return bytes;
}

bool writeTrendCsv(QIODevice *out, const TrendModel &model, const QList<qsizetype> &curves, const QStringList &names,
                   qint64 from, qint64 to)
{
    QByteArray line = "Time";
    for (const QString &name : names)
        line += ',' + csvField(name);
    line += '\n';
    if (out->write(line) != line.size())
        return false;

    // The next change point of each curve, earliest first.
    using Next = std::pair<qint64, qsizetype>;
    std::priority_queue<Next, std::vector<Next>, std::greater<Next>> queue;
    QList<qsizetype> index(curves.size());
    for (qsizetype c = 0; c < curves.size(); ++c) {
        const TrendSeries &s = model.at(curves.at(c));
        index[c] = s.indexAt(from) + 1;
        if (index.at(c) < s.times.size() && s.times.at(index.at(c)) <= to)
            queue.push({s.times.at(index.at(c)), c});
    }

    qint64 t = from;
    for (;;) {
        const QDateTime local = QDateTime::fromMSecsSinceEpoch(t);
        line = local.toOffsetFromUtc(local.offsetFromUtc()).toString(Qt::ISODateWithMs).toLatin1();
        for (qsizetype c = 0; c < curves.size(); ++c) {
            line += ',';
            const TrendSeries &s = model.at(curves.at(c));
            const qsizetype i = index.at(c) - 1;
            if (i >= 0 && !std::isnan(s.values.at(i)) && (s.live || t <= s.endMs))
                line += QByteArray::number(s.values.at(i), 'g', QLocale::FloatingPointShortest);
        }
        line += '\n';
        if (out->write(line) != line.size())
            return false;
        if (queue.empty())
            return true;
        t = queue.top().first;
        // Every curve that changes at t moves on together: one row per time.
        while (!queue.empty() && queue.top().first == t) {
            const qsizetype c = queue.top().second;
            queue.pop();
            const TrendSeries &s = model.at(curves.at(c));
            qsizetype &i = index[c];
            while (i < s.times.size() && s.times.at(i) == t)
                ++i;
            if (i < s.times.size() && s.times.at(i) <= to)
                queue.push({s.times.at(i), c});
        }
    }
}
