#include "support/tempworkdir.h"
#include "window/recordreader.h"
#include "window/trendcsv.h"
#include "window/trenddecimator.h"
#include "window/trendmodel.h"

#include <QBuffer>
#include <QtTest>

namespace {

// A record row at epoch seconds s; the stamp's fraction is written twice,
// as the panel writes it ("55" for half a second).
QByteArray row(qint64 s, const QByteArray &fields, const QByteArray &fraction = "00")
{
    const QByteArray sec = QByteArray::number(s % 60).rightJustified(2, '0');
    return QByteArray::number(s) + '\t' + fields + "\t# 26/12/06 10.00." + sec + '.' + fraction + '\n';
}

QByteArray number(double v)
{
    return std::isnan(v) ? "-" : QByteArray::number(v, 'g', QLocale::FloatingPointShortest);
}

// Seconds, with the milliseconds only where there are any.
QByteArray secs(qint64 ms)
{
    QByteArray text = QByteArray::number(ms / 1000);
    if (ms % 1000) {
        text += '.' + QByteArray::number(ms % 1000).rightJustified(3, '0');
        while (text.endsWith('0'))
            text.chop(1);
    }
    return text;
}

// "F label: t=v t=v ... ~end" per curve (F flow, V valve), times in seconds.
QStringList describe(const QList<TrendSeries> &series)
{
    QStringList out;
    for (const TrendSeries &s : series) {
        QByteArray text = (s.kind == TrendSeries::Valve ? "V " : "F ") + s.label.toUtf8();
        if (s.occurrence)
            text += '#' + QByteArray::number(s.occurrence);
        text += ':';
        for (qsizetype i = 0; i < s.times.size(); ++i)
            text += ' ' + secs(s.times.at(i)) + '=' + number(s.values.at(i));
        out << QString::fromUtf8(text + " ~" + secs(s.endMs));
    }
    return out;
}

QString skips(const RecordData &d)
{
    const RecordSkips &k = d.skips;
    return QString::asprintf("rows %lld cut %lld misfit %lld nan %lld foreign %lld order %lld", qint64(d.rows),
                             qint64(k.cutShort), qint64(k.misfits), qint64(k.notNumbers), qint64(k.foreign),
                             qint64(k.outOfOrder));
}

} // namespace

class TestTrendReader : public QObject
{
    Q_OBJECT

private slots:
    void read_data();
    void read();
    void filesJoinInTimeOrder();
    void decimate_data();
    void decimate();
    void csv();
};

void TestTrendReader::read_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QStringList>("curves");
    QTest::addColumn<QString>("skipped");

    const QByteArray head = "#Time\tMFC1\t     \tN2 L1\n";
    QTest::newRow("one change per row, fractions from the stamp")
        << head + row(100, "5\t0\t0") + row(101, "5.5\t0\t0", "55") + row(102, "5.5\t0\t1", "1212") +
               row(103, "5.5\t0\t1") + row(104, "6\t0\t1", "54") + row(105, "7\t0\t1", "12341234") // no fractions
        << QStringList{"F MFC1: 100=5 101.5=5.5 104=6 105=7 ~105", "F      : 100=0 ~105",
                       "V N2 L1: 100=0 102.12=1 ~105"}
        << "rows 6 cut 0 misfit 0 nan 0 foreign 0 order 0";
    QTest::newRow("header changes mid-file: the one above each row counts")
        << head + row(100, "5\t0\t0") + "#Time\tMFC1\tMFC2\tN2 L1\tAr L2\n" + row(200, "5\t7\t1\t0") +
               row(201, "6\t7\t1\t0")
        << QStringList{"F MFC1: 100=5 100=- 200=5 201=6 ~201", "F      : 100=0 ~100", "V N2 L1: 100=0 100=- 200=1 ~201",
                       "F MFC2: 200=7 ~201", "V Ar L2: 200=0 ~201"}
        << "rows 3 cut 0 misfit 0 nan 0 foreign 0 order 0";
    QTest::newRow("rows cut short by a crash, and one joined to the next")
        << head + row(100, "5\t0\t0") + "101\t6\t0" + '\n' + "102\t6\t" + row(103, "7\t0\t1") + row(104, "8\t0\t1")
        << QStringList{"F MFC1: 100=5 104=8 ~104", "F      : 100=0 ~104", "V N2 L1: 100=0 104=1 ~104"}
        << "rows 2 cut 1 misfit 1 nan 0 foreign 0 order 0";
    QTest::newRow("fields that are not numbers")
        << head + row(100, "5\t0\t0") + row(101, "x\t0\t0") + row(102, "6\t\t0") + row(103, "inf\t0\t0") +
               row(104, "6\t0\t0")
        << QStringList{"F MFC1: 100=5 104=6 ~104", "F      : 100=0 ~104", "V N2 L1: 100=0 ~104"}
        << "rows 2 cut 0 misfit 0 nan 3 foreign 0 order 0";
    QTest::newRow("foreign text, blank lines, a clock set back")
        << "hello\n" + head + row(100, "5\t0\t0") + "\n# note\r\nplain text\n" + row(90, "6\t0\t0")
        << QStringList{"F MFC1: 100=5 100=6 ~100", "F      : 100=0 ~100", "V N2 L1: 100=0 ~100"}
        << "rows 2 cut 0 misfit 0 nan 0 foreign 3 order 1";
    QTest::newRow("a file of another configuration under the old header")
        << row(50, "1") + "#Time\tMFC1\tN2 L1\n" + row(100, "5\t1") + row(101, "5\t1\t0\t2") + row(102, "3")
        << QStringList{"F MFC1: 100=5 ~100", "V N2 L1: 100=1 ~100"} << "rows 1 cut 0 misfit 3 nan 0 foreign 0 order 0";
    QTest::newRow("a valve-like name with flows is an MFC")
        << QByteArray("#Time\tLine A\tN2 L1\n") + row(100, "2.5\t1")
        << QStringList{"F Line A: 100=2.5 ~100", "V N2 L1: 100=1 ~100"}
        << "rows 1 cut 0 misfit 0 nan 0 foreign 0 order 0";
    const QByteArray tiny = "0." + QByteArray(77, '0') + '1'; // long fields, equal from row to row
    QTest::newRow("a change between long equal fields")
        << "#Time\tA\tB\tC\n" + row(100, tiny + "\t5\t" + tiny) + row(101, tiny + "\t6\t" + tiny)
        << QStringList{"F A: 100=1e-78 ~101", "F B: 100=5 101=6 ~101", "F C: 100=1e-78 ~101"}
        << "rows 2 cut 0 misfit 0 nan 0 foreign 0 order 0";
    QTest::newRow("same labels twice, no columns at all")
        << QByteArray("#Time\n") + row(99, "").replace("\t\t", "\t") + "#Time\tM\tM\n" + row(100, "1\t2")
        << QStringList{"F M: 100=1 ~100", "F M#1: 100=2 ~100"} << "rows 2 cut 0 misfit 0 nan 0 foreign 0 order 0";
}

void TestTrendReader::read()
{
    QFETCH(QByteArray, text);
    QFETCH(QStringList, curves);
    QFETCH(QString, skipped);

    TempWorkDir dir;
    const QString path = dir.write("Rec-20261206.log", text);
    // In one block, in blocks that cut every line, and from memory.
    for (const qsizetype block : {qsizetype(1 << 20), qsizetype(7)}) {
        const RecordData data = RecordReader(nullptr, block).read(path);
        QCOMPARE(describe(data.series), curves);
        QCOMPARE(skips(data), skipped);
    }
    QCOMPARE(describe(RecordReader().readText(text).series), curves);
}

void TestTrendReader::filesJoinInTimeOrder()
{
    // A day ends at local midnight: the morning's file is opened first, the
    // evening before it second; the value holds across midnight.
    const qint64 midnight = QDateTime(QDate(2026, 12, 7), QTime(0, 0)).toSecsSinceEpoch();
    const QByteArray head = "#Time\tMFC1\tN2 L1\n";
    TrendModel model;
    model.addRecord("Rec-20261207.log", RecordReader().readText(head + row(midnight + 5, "7\t1")));
    const QByteArray evening = row(midnight - 5, "1234.564\t1") + row(midnight - 1, "1234.565\t1", "55"); // 8th byte +1
    model.addRecord("Rec-20261206.log", RecordReader().readText(head + evening));
    const qint64 m = midnight * 1000;
    const QString f =
        QStringLiteral("F MFC1: %1=1234.564 %2=1234.565 %3=7 ~%3").arg(secs(m - 5000), secs(m - 500), secs(m + 5000));
    QCOMPARE(describe(model.series()),
             (QStringList{f, QStringLiteral("V N2 L1: %1=1 ~%2").arg(secs(m - 5000), secs(m + 5000))}));
    double v = 0;
    QVERIFY(model.at(0).valueAt(m, &v));
    QCOMPARE(v, 1234.565);

    // Old live values are forgotten but the one in force; what came from files stays, so do later and open alarms.
    const QStringList files = describe(model.series());
    const qsizetype live = model.addLiveCurve(TrendSeries::Flow, "M2", 0);
    QSignalSpy changed(&model, &TrendModel::dataChanged);
    for (const qint64 ms : {10000, 20000, 30000})
        model.append(live, ms, double(ms / 1000));
    QCOMPARE(changed.count(), 3);
    for (const auto &[source, from, to] : {std::tuple{"a", 5000, 24000}, {"b", 16000, 26000}, {"c", 1000, 0}}) {
        model.openAlarm(source, AlarmInterval::Minor, from);
        if (to)
            model.closeAlarm(source, to);
    }
    model.dropBefore(25000);
    QCOMPARE(describe(model.series()), files + QStringList{"F M2: 25=20 30=30 ~30"});
    QString kept;
    for (const AlarmInterval &a : model.alarms())
        kept += a.source;
    QCOMPARE(kept, "bc");
    const qsizetype count = model.count();
    QCOMPARE(model.addLiveCurve(TrendSeries::Flow, "M2", 1), count);
    QCOMPARE(model.addLiveCurve(TrendSeries::SetPoint, "M2", 1), count + 1);
}

void TestTrendReader::decimate_data()
{
    QTest::addColumn<QList<qint64>>("times");
    QTest::addColumn<QList<double>>("values");
    QTest::addColumn<qint64>("knownUntil");
    QTest::addColumn<QString>("columns"); // range 0..100 ms onto 10 columns

    const double gap = std::nan("");
    QTest::newRow("min and max of a busy column")
        << QList<qint64>{0, 31, 33, 35, 37} << QList<double>{5, 9, 1, 7, 4} << qint64(100) << "0:5-5>5 3:1-9>4 ~9";
    QTest::newRow("the entering value counts in its column")
        << QList<qint64>{-50, 55} << QList<double>{2, 8} << qint64(100) << "0:2-2>2 5:2-8>8 ~9";
    QTest::newRow("before the range, gaps and an end of knowledge")
        << QList<qint64>{-500, 20, 40, 45} << QList<double>{3, gap, 6, 1} << qint64(62) << "0:3-3>3 2:3-3>- 4:1-6>1 ~6";
    QTest::newRow("starts inside the range, points after it ignored")
        << QList<qint64>{70, 99, 100, 150} << QList<double>{1, 2, 50, 60} << qint64(200) << "7:1-1>1 9:1-2>2 ~9";
}

void TestTrendReader::decimate()
{
    QFETCH(QList<qint64>, times);
    QFETCH(QList<double>, values);
    QFETCH(qint64, knownUntil);
    QFETCH(QString, columns);

    TrendSeries s;
    s.times = times;
    s.values = values;
    const TrendTrace trace = ::decimate(s, 0, 100, 10, knownUntil);
    QStringList got;
    for (const TrendColumn &c : trace.columns)
        got << QStringLiteral("%1:%2-%3>%4").arg(c.column).arg(number(c.low), number(c.high), number(c.last));
    got << QStringLiteral("~%1").arg(trace.endColumn);
    QCOMPARE(got.join(' '), columns);
}

void TestTrendReader::csv()
{
    TrendModel model;
    model.addRecord("Rec.log", RecordReader().readText("#Time\tMFC1\tN2,Ar L1\n" + row(100, "5\t0") + row(101, "5\t1") +
                                                       row(102, "6.5\t1") + row(110, "7\t0")));
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    QVERIFY(writeTrendCsv(&out, model, {0, 1}, {"MFC1", "N2,Ar L1"}, 100500, 105000));
    const auto iso = [](qint64 ms) {
        const QDateTime t = QDateTime::fromMSecsSinceEpoch(ms);
        return t.toOffsetFromUtc(t.offsetFromUtc()).toString(Qt::ISODateWithMs);
    };
    QCOMPARE(QString::fromUtf8(out.data()), QStringLiteral("Time,MFC1,\"N2,Ar L1\"\n%1,5,0\n%2,5,1\n%3,6.5,1\n")
                                                .arg(iso(100500), iso(101000), iso(102000)));
    QVERIFY(iso(0).contains(QRegularExpression("T\\d\\d:\\d\\d:\\d\\d\\.000(Z|[+-]\\d\\d:\\d\\d)$")));
}

QTEST_GUILESS_MAIN(TestTrendReader)
#include "tst_trendreader.moc"
