#include "window/recordreader.h"
#include "window/blockreader.h"

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

// Long equal stretches are passed in large steps first.
qsizetype commonPrefix(const char *a, const char *b, qsizetype n)
{
    qsizetype i = 0;
    while (i + 64 <= n && std::memcmp(a + i, b + i, 64) == 0)
        i += 64;
    while (i + 8 <= n && std::memcmp(a + i, b + i, 8) == 0)
        i += 8;
    while (i < n && a[i] == b[i])
        ++i;
    return i;
}

qsizetype commonSuffix(const char *aEnd, const char *bEnd, qsizetype n)
{
    qsizetype i = 0;
    while (i + 64 <= n && std::memcmp(aEnd - i - 64, bEnd - i - 64, 64) == 0)
        i += 64;
    while (i + 8 <= n && std::memcmp(aEnd - i - 8, bEnd - i - 8, 8) == 0)
        i += 8;
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
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        data.error = file.errorString();
        return std::move(data);
    }
    // One thread reads blocks while this one takes the rows apart: reading
    // costs about as much as reading the rows. Blocks are read rather than
    // the file mapped, which on a loaded machine was several times faster.
    BlockReader blocks(file, blockBytes, cancel);
    QByteArray block;
    QByteArray carried; // the start of a line the last block cut off
    bool skipToLineEnd = false;
    for (;;) {
        if (!blocks.next(block)) {
            if (cancel && cancel->load())
                return RecordData();
            data.error = file.errorString();
            break;
        }
        if (block.isEmpty()) {
            if (!carried.isEmpty() && !skipToLineEnd)
                line(carried.constData(), carried.constData() + carried.size());
            break;
        }
        takeBlock(block, carried, skipToLineEnd);
    }
    finish();
    return std::move(data);
}

// Reads the lines a block completes; carried holds a line the block ends
// inside of, to be finished by the next block.
void RecordReader::takeBlock(const QByteArray &block, QByteArray &carried, bool &skipToLineEnd)
{
    const char *p = block.constData();
    const char *end = p + block.size();
    const char *nl = static_cast<const char *>(std::memchr(p, '\n', size_t(end - p)));
    if (!nl) {
        carried += block;
        if (carried.size() > longestLine) {
            // No plant has rows this long: foreign bytes, kept out of memory.
            if (!skipToLineEnd)
                ++data.skips.foreign;
            skipToLineEnd = true;
            carried.clear();
        }
        return;
    }
    if (!skipToLineEnd) {
        carried.append(p, nl - p);
        line(carried.constData(), carried.constData() + carried.size());
        keepPrevious();
    }
    skipToLineEnd = false;
    p = nl + 1;
    while ((nl = static_cast<const char *>(std::memchr(p, '\n', size_t(end - p))))) {
        line(p, nl);
        p = nl + 1;
    }
    carried = QByteArray(p, end - p);
    keepPrevious();
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
        columns.append(Column{QString::fromUtf8(label), {}, {}, 0, true});
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
    if (!haveHeader) {
        ++data.skips.misfits;
        return;
    }
    // The fields between the time and the stamp.
    const char *fields = timeEnd == stamp ? stamp : timeEnd + 1;
    const qsizetype size = stamp - fields;

    // The fields to read: [first, first + count), starting at from.
    qsizetype first = 0;
    qsizetype count = 0;
    qsizetype from = 0;
    if (!changedFields(fields, size, first, count, from)) {
        ++data.skips.misfits;
        return;
    }
    if (count > 0 && !parseFields(fields, from, count)) {
        ++data.skips.notNumbers;
        return;
    }

    rowMs = seconds * 1000 + stampMillis(stamp + 1, end, seconds);
    if (rowMs < lastMs) {
        ++data.skips.outOfOrder;
        rowMs = lastMs;
    }
    lastMs = rowMs;
    sectionEndMs = rowMs;
    ++data.rows;
    keepRow(fields, size, first, count);
}

// Compares the row's fields with the last sound row's: only the fields that
// differ need reading. False when the row does not fit the header.
bool RecordReader::changedFields(const char *fields, qsizetype size, qsizetype &first, qsizetype &count,
                                 qsizetype &from) const
{
    const qsizetype n = columns.size();
    if (n == 0)
        return size == 0;
    if (previousSize < 0) {
        count = countTabs(fields, fields + size) + 1;
        return count == n;
    }
    const qsizetype shorter = std::min(size, previousSize);
    const qsizetype head = commonPrefix(fields, previous, shorter);
    if (head >= size && size == previousSize)
        return true;
    const qsizetype tail = commonSuffix(fields + size, previous + previousSize, shorter - head);
    // Widened to whole fields: a starts a field in this row and the
    // last, b ends one here and, moved by the change in length, there.
    qsizetype a = head;
    while (a > 0 && fields[a - 1] != '\t')
        --a;
    qsizetype b = size - tail;
    while (b < size && fields[b] != '\t')
        ++b;
    const auto at = std::lower_bound(offsets.cbegin(), offsets.cend(), a);
    const qsizetype after =
        b == size ? 0 : offsets.cend() - std::upper_bound(offsets.cbegin(), offsets.cend(), b - (size - previousSize));
    first = at - offsets.cbegin();
    count = countTabs(fields + a, fields + b) + 1;
    from = a;
    return at != offsets.cend() && *at == a && first + count + after == n;
}

// The row's values go to their columns, and the row becomes the one the
// next is compared with.
void RecordReader::keepRow(const char *fields, qsizetype size, qsizetype first, qsizetype count)
{
    const qsizetype n = columns.size();
    if (previousSize < 0) {
        offsets = parsedStarts;
    } else if (count > 0) {
        const qsizetype delta = size - previousSize;
        if (delta != 0) {
            qsizetype *o = offsets.data(); // detached once, not per field
            for (qsizetype i = first + count; i < n; ++i)
                o[i] += delta;
        }
        std::copy(parsedStarts.cbegin(), parsedStarts.cend(), offsets.begin() + first);
    }
    for (qsizetype i = 0; i < count; ++i) {
        Column &c = columns[first + i];
        const double v = parsed.at(i);
        if (!c.values.isEmpty() && c.last == v)
            continue;
        c.last = v;
        c.times.append(rowMs);
        c.values.append(v);
        if (v != 0 && v != 1)
            c.onlyZeroOne = false;
    }
    previous = fields;
    previousSize = size;
}

bool RecordReader::parseFields(const char *fields, qsizetype from, qsizetype count)
{
    parsed.resize(count);
    parsedStarts.resize(count);
    const char *p = fields + from;
    for (qsizetype i = 0; i < count; ++i) {
        const char *fieldEnd = p;
        while (*fieldEnd != '\t')
            ++fieldEnd;
        double v = 0;
        const auto r = std::from_chars(p, fieldEnd, v);
        if (r.ec != std::errc() || r.ptr != fieldEnd || !std::isfinite(v))
            return false;
        parsed[i] = v;
        parsedStarts[i] = p - fields;
        p = fieldEnd + 1;
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
        auto same =
            std::find_if(data.series.begin(), data.series.end(), [&s](const TrendSeries &o) { return o.sameCurve(s); });
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
    offsets.clear();
    haveHeader = false;
}

void RecordReader::finish()
{
    endSection();
    kept.clear();
}
