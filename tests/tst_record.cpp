#include "nodes/anode.h"
#include "support/configtext.h"
#include "support/tempworkdir.h"
#include "valves/avalve.h"
#include "window/body.h"

#include <QRegularExpression>
#include <QtTest>

namespace {

QStringList lines(const TempWorkDir &dir, const QString &name)
{
    return QString::fromUtf8(dir.read(name)).split('\n', Qt::SkipEmptyParts);
}

// Restores the record clock when a test ends, however it ends.
struct ClockGuard
{
    ~ClockGuard() { Body::clock = [] { return QDateTime::currentDateTime(); }; }
};

const QByteArray plant = "NAME_ON_TELSO Rec\n"
                         "VALVE 1 0 N2 1 L1\nVALVE 2 1 Ar 1 L2 Dev ch 0 0 0 0 N_ON\n"
                         "MFC 1 0 N2 1 MFC1\nMFC 2 1 N2 1 DUMMY\nNODE 1 - 0 J\n";

} // namespace

class TestRecord : public QObject
{
    Q_OBJECT

private slots:
    void headerAndFirstRow();
    void rowOnValveChange();
    void existingFileKeepsItsHeader();
    void emptyPlant();
    void newFileAfterMidnight();
    void secondsPast2038();
};

void TestRecord::headerAndFirstRow()
{
    TempWorkDir dir;
    loadConfig(dir, plant);
    const qint64 before = QDateTime::currentSecsSinceEpoch();
    Body body;
    const qint64 after = QDateTime::currentSecsSinceEpoch();
    const QString name = "Rec-" + QDate::currentDate().toString("yyyyMMdd") + ".log";
    const QStringList rows = lines(dir, name);
    QCOMPARE(rows.size(), 2);
    QCOMPARE(rows[0], QString("#Time\tMFC1\t     \tN2 L1\tAr L2"));

    static const QRegularExpression shape(
        "^(\\d+)\\t0\\t0\\t0\\t1\\t# (\\d\\d/\\d\\d/\\d\\d \\d\\d\\.\\d\\d\\.\\d\\d\\.\\d+)$");
    const QRegularExpressionMatch m = shape.match(rows[1]);
    QVERIFY2(m.hasMatch(), qPrintable(rows[1]));
    const qint64 seconds = m.captured(1).toLongLong();
    QVERIFY(seconds >= before && seconds <= after);
}

void TestRecord::rowOnValveChange()
{
    TempWorkDir dir;
    loadConfig(dir, plant);
    Body body;
    auto *v1 = static_cast<aValve *>(body.findNode(1, aNode::Valve));
    v1->showStat(true);
    const QStringList rows = lines(dir, body.recordFileName(QDate::currentDate()));
    QCOMPARE(rows.size(), 3);
    QVERIFY2(rows[2].contains(QRegularExpression("^\\d+\\t0\\t0\\t1\\t1\\t# ")), qPrintable(rows[2]));
}

void TestRecord::existingFileKeepsItsHeader()
{
    TempWorkDir dir;
    loadConfig(dir, plant);
    const QString name = "Rec-" + QDate::currentDate().toString("yyyyMMdd") + ".log";
    dir.write(name, "#Time\tOld\n1\t5\t# x\n");
    Body body;
    const QStringList rows = lines(dir, name);
    QCOMPARE(rows.size(), 3);
    QCOMPARE(rows[0], QString("#Time\tOld"));
    QVERIFY(rows[2].contains(QRegularExpression("^\\d+\\t0\\t0\\t0\\t1\\t# ")));
}

void TestRecord::emptyPlant()
{
    TempWorkDir dir;
    loadConfig(dir, "");
    Body body;
    const QStringList rows = lines(dir, body.recordFileName(QDate::currentDate()));
    QCOMPARE(rows.size(), 2);
    QCOMPARE(rows[0], QString("#Time"));
    QVERIFY(rows[1].contains(QRegularExpression("^\\d+\\t# \\d\\d/")));
    QVERIFY(body.recordFileName(QDate(2026, 12, 6)) == "Kestrune-20261206.log");
}

void TestRecord::newFileAfterMidnight()
{
    ClockGuard guard;
    TempWorkDir dir;
    loadConfig(dir, plant);
    QDateTime now(QDate(2026, 12, 6), QTime(23, 59, 59, 500));
    Body::clock = [&now] { return now; };
    Body body;
    now = QDateTime(QDate(2026, 12, 7), QTime(0, 0, 0, 120));
    body.record();
    QCOMPARE(lines(dir, "Rec-20261206.log").size(), 2);
    const QStringList next = lines(dir, "Rec-20261207.log");
    QCOMPARE(next.size(), 2);
    QCOMPARE(next[0], QString("#Time\tMFC1\t     \tN2 L1\tAr L2"));
    QVERIFY(next[1].endsWith("\t" + now.toString("# yy/MM/dd hh.mm.ss.zz")));
    QVERIFY(next[1].startsWith(QString::number(now.toSecsSinceEpoch()) + "\t"));
}

void TestRecord::secondsPast2038()
{
    ClockGuard guard;
    TempWorkDir dir;
    loadConfig(dir, "");
    const QDateTime later = QDateTime::fromSecsSinceEpoch(Q_INT64_C(4102444800)); // 2100-01-01 UTC
    Body::clock = [later] { return later; };
    Body body;
    const QStringList rows = lines(dir, body.recordFileName(later.date()));
    QCOMPARE(rows.size(), 2);
    QVERIFY2(rows[1].startsWith("4102444800\t"), qPrintable(rows[1]));
}

QTEST_MAIN(TestRecord)
#include "tst_record.moc"
