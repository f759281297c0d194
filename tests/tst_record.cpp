#include "support/configtext.h"
#include "support/livepanel.h"
#include "valves/avalve.h"
#include "window/checkedappend.h"

#include <QLabel>
#include <QtTest>

namespace {

QStringList lines(const TempWorkDir &dir, const QString &name)
{
    return QString::fromUtf8(dir.read(name)).split('\n', Qt::SkipEmptyParts);
}

const QByteArray plant = "NAME_ON_TELSO Rec\nVALVE 1 0 N2 1 L1\nVALVE 2 1 Ar 1 L2 Dev ch 0 0 0 0 N_ON\n"
                         "MFC 1 0 N2 1 MFC1\nMFC 2 1 N2 1 DUMMY\nNODE 1 - 0 J\n";

} // namespace

class TestRecord : public QObject
{
    Q_OBJECT

private slots:
    void rows();
    void newFilePerDay();
    void failedWrites_data();
    void failedWrites();
};

// An existing file keeps its header; a change of state adds a row, valve 2 (normally on) reading 1 when shut.
void TestRecord::rows()
{
    TempWorkDir dir;
    loadConfig(dir, plant);
    const QString name = "Rec-" + QDate::currentDate().toString("yyyyMMdd") + ".log";
    dir.write(name, "#Time\tOld\n1\t5\t# x\n");
    Body body;
    static_cast<aValve *>(body.findNode(1, aNode::Valve))->showStat(true);
    const QString stamp = "\\t# \\d\\d/\\d\\d/\\d\\d \\d\\d\\.\\d\\d\\.\\d\\d\\.\\d+$";
    const QStringList rows{"^#Time\\tOld$", "^1\\t5\\t# x$", "^\\d+\\t0\\t0\\t0\\t1" + stamp,
                           "^\\d+\\t0\\t0\\t1\\t1" + stamp};
    const QStringList got = lines(dir, name);
    QCOMPARE(got.size(), rows.size());
    for (int i = 0; i < rows.size(); ++i)
        QVERIFY2(got[i].contains(QRegularExpression(rows[i])), qPrintable(got[i]));
}

void TestRecord::newFilePerDay()
{
    ClockGuard guard;
    TempWorkDir dir;
    loadConfig(dir, plant);
    QDateTime now(QDate(2026, 12, 6), QTime(23, 59, 59, 500));
    Body::clock = [&now] { return now; };
    Body body;
    now = QDateTime(QDate(2026, 12, 7), QTime(0, 0, 0, 120));
    body.record();
    const QStringList first = lines(dir, "Rec-20261206.log"), next = lines(dir, "Rec-20261207.log");
    QCOMPARE(first.size(), 2);
    QCOMPARE(next.size(), 2);
    // The dummy MFC has a blank name.
    QCOMPARE(first[0] + '|' + next[0], "#Time\tMFC1\t     \tN2 L1\tAr L2|#Time\tMFC1\t     \tN2 L1\tAr L2");
    QCOMPARE(next[1], QString::number(now.toSecsSinceEpoch()) + "\t0\t0\t0\t1\t" + now.toString("# yy/MM/dd hh.mm.ss.zz"));

    now = QDateTime::fromSecsSinceEpoch(Q_INT64_C(4102444800)); // 2100-01-01 UTC: seconds past 2038
    body.record();
    QVERIFY(lines(dir, body.recordFileName(now.date())).value(1).startsWith("4102444800\t"));
}

void TestRecord::failedWrites_data()
{
    QTest::addColumn<bool>("full"); // the file is a link to a full device; else a directory is in its way
    QTest::newRow("cannot be opened") << false;
    QTest::newRow("device full") << true;
}

// Rows that do not reach the file are counted and said once per run of failures; the panel serves on.
void TestRecord::failedWrites()
{
    QFETCH(bool, full);
    TempWorkDir dir;
    FakeServer server;
    loadConfig(dir, plant + "TELSO_IP 127.0.0.1\nTELSO_PORT " + server.portText().toUtf8() + '\n');
    const QString name = "Rec-" + QDate::currentDate().toString("yyyyMMdd") + ".log";
    QVERIFY(full ? QFile::link("/dev/full", dir.filePath(name)) : QDir(dir.path()).mkdir(name));
    Body body;
    auto *valve = static_cast<aValve *>(body.findNode(1, aNode::Valve));
    valve->showStat(true);
    QCOMPARE(body.recordWrites()->failures(), 2);
    const auto *shown = body.findChild<QLabel *>("recordRows");
    QCOMPARE(shown->isHidden() ? QString() : shown->text(), QString("Record rows not written: 2"));
    QCOMPARE(QString(dir.read("log.log")).count(" cannot be written ("), 1);

    QVERIFY(full ? QFile::remove(dir.filePath(name)) : QDir(dir.path()).rmdir(name));
    valve->showStat(false);
    QCOMPARE(lines(dir, name).size(), 2);
    QVERIFY(dir.read("log.log").contains("Record file " + name.toUtf8() + " is written again after 2 failed writes"));
    QVERIFY(server.waitForLogin());
    server.send("C>Rec Stat");
    QTRY_VERIFY_WITH_TIMEOUT(!server.lines().filter(QRegularExpression("^Rec>C @Stat ")).isEmpty(), 10000);
}

QTEST_MAIN(TestRecord)
#include "tst_record.moc"
