#include "window/recordreader.h"

#include <QFile>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

namespace {

qsizetype countTabs(const char *begin, const char *end)
{
    return std::count(begin, end, '\t');
}

const char *lastTab(const char *begin, const char *end)
{
    const void *hit = memrchr(begin, '\t', size_t(end - begin));
    return static_cast<const char *>(hit);
}

// "gas line": a valve's label always has a word on each side of a blank.
bool valveLike(const QString &label)
{
    const QString t = label.trimmed();
    return t.contains(QLatin1Char(' '));
}

qsizetype commonPrefix(const char *a, const char *b, qsizetype n)
{
    qsizetype i = 0;
    while (i + 8 <= n && std::memcmp(a + i, b + i, 8) == 0)
        i += 8;
    while (i < n && a[i] == b[i])
        ++i;
    return i;
}

qsizetype commonSuffix(const char *aEnd, const char *bEnd, qsizetype n)
{
    qsizetype i = 0;
    while (i < n && aEnd[-1 - i] == bEnd[-1 - i])
        ++i;
    return i;
}

// The stamp "# yy/MM/dd hh.mm.ss.F" holds the milliseconds the whole
// seconds leave out; the toolkit writes the fraction twice ("1212" for
// .12). Taken only when the seconds agree with the row's own.
int stampMillis(const char *begin, const char *end, qint64 seconds)
{
    const void *dotHit = memrchr(begin, '.', size_t(end - begin));
    const char *dot = static_cast<const char *>(dotHit);
    if (!dot || dot - begin < 2)
        return 0;
    const qsizetype n = end - dot - 1;
    if (n < 2 || n > 6 || n % 2 || std::memcmp(dot + 1, dot + 1 + n / 2, size_t(n / 2)) != 0)
        return 0;
    const int sec = (dot[-2] - '0') * 10 + (dot[-1] - '0');
    if (sec != int(((seconds % 60) + 60) % 60))
        return 0;
    int ms = 0;
    for (qsizetype i = 0; i < 3; ++i) {
        const char c = i < n / 2 ? dot[1 + i] : '0';
        if (c < '0' || c > '9')
            return 0;
        ms = ms * 10 + (c - '0');
    }
    return ms;
}

} // namespace

RecordData RecordReader::read(const QString &path)
{
    data = RecordData();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        data.error = file.errorString();
        return std::move(data);
    }
    const qint64 size = file.size();
    qint64 offset = 0;
    bool skipToLineEnd = false;
    while (offset < size) {
        if (cancel && cancel->load())
            return RecordData();
        const qint64 length = std::min(windowBytes, size - offset);
        uchar *mapped = file.map(offset, length);
        QByteArray buffer;
        if (!mapped) {
            // Files that cannot be mapped (pipes, some file systems) are read.
            file.seek(offset);
            buffer = file.read(length);
            if (buffer.size() != length) {
                data.error = file.errorString();
                break;
            }
        }
        const char *base = mapped ? reinterpret_cast<const char *>(mapped) : buffer.constData();
        const char *p = base;
        const char *end = base + length;
        const bool last = offset + length == size;
        if (skipToLineEnd) {
            const char *nl = static_cast<const char *>(std::memchr(p, '\n', size_t(end - p)));
            p = nl ? nl + 1 : end;
            skipToLineEnd = !nl;
        }
        while (p < end) {
            const char *nl = static_cast<const char *>(std::memchr(p, '\n', size_t(end - p)));
            if (!nl) {
                if (last) {
                    line(p, end);
                    p = end;
                } else if (p == base) {
                    // A line longer than a whole window is no row.
                    ++data.skips.foreign;
                    skipToLineEnd = true;
                    p = end;
                }
                break;
            }
            line(p, nl);
            p = nl + 1;
        }
        keepPrevious();
        offset += p - base;
        if (mapped)
            file.unmap(mapped);
    }
    finish();
    return std::move(data);
}

RecordData RecordReader::readText(const QByteArray &text)
{
    data = RecordData();
    const char *p = text.constData();
    const char *end = p + text.size();
    while (p < end) {
        const char *nl = static_cast<const char *>(std::memchr(p, '\n', size_t(end - p)));
        line(p, nl ? nl : end);
        p = nl ? nl + 1 : end;
    }
    finish();
    return std::move(data);
}

QByteArray RecordReader::lastHeader(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    constexpr qint64 block = 1 << 20;
    qint64 end = file.size();
    // Blocks overlap by a little more than "\n#Time", so no match is cut.
    while (end > 0) {
        const qint64 start = std::max<qint64>(0, end - block);
        file.seek(start);
        const QByteArray chunk = file.read(std::min(end + 6, file.size()) - start);
        qsizetype at = chunk.size();
        while ((at = chunk.lastIndexOf("#Time", at - 1)) >= 0) {
            if (at > 0 ? chunk.at(at - 1) != '\n' : start > 0)
                continue;
            file.seek(start + at);
            QByteArray line = file.readLine();
            while (line.endsWith('\n') || line.endsWith('\r'))
                line.chop(1);
            if (line.size() == 5 || line.at(5) == '\t')
                return line;
            if (at == 0)
                break;
        }
        end = start;
    }
    return QByteArray();
}

void RecordReader::line(const char *begin, const char *end)
{
    if (end > begin && end[-1] == '\r')
        --end;
    if (begin == end)
        return;
    if (end - begin >= 5 && std::memcmp(begin, "#Time", 5) == 0 && (end - begin == 5 || begin[5] == '\t'))
        header(begin + 5, end);
    else if (*begin == '#')
        ++data.skips.foreign;
    else
        row(begin, end);
}

void RecordReader::header(const char *begin, const char *end)
{
    endSection();
    haveHeader = true;
    for (const QByteArray &label : QByteArray(begin, end - begin).split('\t').mid(1))
        columns.append(Column{QString::fromUtf8(label), {}, {}, true});
}

void RecordReader::row(const char *begin, const char *end)
{
    const char *timeEnd = static_cast<const char *>(std::memchr(begin, '\t', size_t(end - begin)));
    qint64 seconds = 0;
    const auto timeRead = std::from_chars(begin, timeEnd ? timeEnd : end, seconds);
    if (timeRead.ec != std::errc() || timeRead.ptr != (timeEnd ? timeEnd : end)) {
        ++data.skips.foreign;
        return;
    }
    const char *stamp = timeEnd ? lastTab(timeEnd, end) : nullptr;
    if (!stamp || stamp[1] != '#') {
        ++data.skips.cutShort;
        return;
    }
    // The fields between the time and the stamp.
    const char *fields = timeEnd == stamp ? stamp : timeEnd + 1;
    const qsizetype size = stamp - fields;
    if (!haveHeader) {
        ++data.skips.misfits;
        return;
    }

    qsizetype first = 0;
    const char *from = fields;
    const char *to = stamp;
    if (previousSize >= 0) {
        const qsizetype shorter = std::min(size, previousSize);
        const qsizetype head = commonPrefix(fields, previous, shorter);
        if (head == size && size == previousSize) {
            from = to = nullptr; // nothing changed but the time
        } else {
            const qsizetype tail = commonSuffix(stamp, previous + previousSize, shorter - head);
            // Widen the difference to whole fields.
            const char *a = fields + head;
            while (a > fields && a[-1] != '\t')
                --a;
            const char *b = stamp - tail;
            while (b < stamp && *b != '\t')
                ++b;
            from = a;
            to = b;
        }
    }
    // A row equal to the one before has its shape.
    const qsizetype count = !from && previousSize >= 0 ? columns.size()
                            : size == 0 && columns.isEmpty() ? 0
                                                             : countTabs(fields, stamp) + 1;
    if (count != columns.size()) {
        ++data.skips.misfits;
        return;
    }
    if (from) {
        first = countTabs(fields, from);
        if (!parseFields(from, to, first)) {
            ++data.skips.notNumbers;
            return;
        }
    }

    rowMs = seconds * 1000 + stampMillis(stamp + 1, end, seconds);
    if (rowMs < lastMs) {
        ++data.skips.outOfOrder;
        rowMs = lastMs;
    }
    lastMs = rowMs;
    sectionEndMs = rowMs;
    ++data.rows;
    if (from) {
        for (qsizetype i = 0; i < parsed.size(); ++i) {
            Column &c = columns[first + i];
            const double v = parsed.at(i);
            if (!c.values.isEmpty() && c.values.constLast() == v)
                continue;
            c.times.append(rowMs);
            c.values.append(v);
            if (v != 0 && v != 1)
                c.onlyZeroOne = false;
        }
    }
    previous = fields;
    previousSize = size;
}

bool RecordReader::parseFields(const char *begin, const char *end, qsizetype first)
{
    parsed.clear();
    if (columns.isEmpty())
        return true;
    const char *p = begin;
    for (qsizetype i = first; i < columns.size(); ++i) {
        const char *tab = static_cast<const char *>(std::memchr(p, '\t', size_t(end - p)));
        const char *fieldEnd = tab ? tab : end;
        double v = 0;
        const auto r = std::from_chars(p, fieldEnd, v);
        if (r.ec != std::errc() || r.ptr != fieldEnd || !std::isfinite(v))
            return false;
        parsed.append(v);
        if (!tab)
            break;
        p = tab + 1;
    }
    return true;
}

void RecordReader::keepPrevious()
{
    if (previousSize < 0 || previous == kept.constData())
        return;
    kept = QByteArray(previous, previousSize);
    previous = kept.constData();
}

void RecordReader::endSection()
{
    // MFCs come first, valves last. The valve block starts after the last
    // column that is no valve by its label or by its values.
    qsizetype split = 0;
    for (qsizetype i = 0; i < columns.size(); ++i) {
        if (!valveLike(columns.at(i).label) || !columns.at(i).onlyZeroOne)
            split = i + 1;
    }
    for (qsizetype i = 0; i < columns.size(); ++i) {
        Column &c = columns[i];
        TrendSeries s;
        s.kind = i < split ? TrendSeries::Flow : TrendSeries::Valve;
        s.label = c.label;
        for (qsizetype j = 0; j < i; ++j) {
            if (columns.at(j).label == c.label && (j < split) == (i < split))
                ++s.occurrence;
        }
        s.times = std::move(c.times);
        s.values = std::move(c.values);
        s.endMs = sectionEndMs;
        if (s.isEmpty())
            continue;
        auto same = std::find_if(data.series.begin(), data.series.end(),
                                 [&s](const TrendSeries &o) { return o.sameCurve(s); });
        if (same == data.series.end()) {
            data.series.append(std::move(s));
        } else {
            // A new header means the panel was started again with another
            // plant: what the column held meanwhile is not known.
            same->append(same->endMs, std::nan(""));
            same->merge(s);
        }
    }
    columns.clear();
    previous = nullptr;
    previousSize = -1;
    haveHeader = false;
}

void RecordReader::finish()
{
    endSection();
    kept.clear();
}
