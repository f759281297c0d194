// Every input kept for the fuzz targets, the seeds in fuzz/corpus/ and the
// inputs that once broke something in fuzz/regressions/, replayed through
// the same code in the normal suite (and so under the sanitizers too).
#include "bus/telso.h"
#include "config/config.h"
#include "config/takeitem.h"
#include "diagram/gview.h"
#include "nodes/ticktimer.h"
#include "support/fakeserver.h"
#include "support/tempworkdir.h"
#include "valves/avalve.h"
#include "window/body.h"

#include <QDir>
#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <QtTest>

namespace {

// One row per kept input of a fuzz target; a target must have some.
void addInputs(const QString &target)
{
    QTest::addColumn<QByteArray>("input");
    const QString fuzzDir = QFINDTESTDATA("../fuzz");
    QVERIFY(!fuzzDir.isEmpty());
    int rows = 0;
    for (const QString &kind : {QStringLiteral("corpus"), QStringLiteral("regressions")}) {
        const QDir dir(fuzzDir + QStringLiteral("/%1/%2").arg(kind, target));
        for (const QString &name : dir.entryList(QDir::Files, QDir::Name)) {
            QFile file(dir.filePath(name));
            QVERIFY(file.open(QIODevice::ReadOnly));
            QTest::addRow("%s/%s", qPrintable(kind), qPrintable(name)) << file.readAll();
            ++rows;
        }
    }
    QVERIFY2(rows > 0, qPrintable(QStringLiteral("no kept inputs for ") + target));
}

void type(QLineEdit *field, const QString &text)
{
    field->setText(text);
    emit field->editingFinished();
}

} // namespace

class TestRegressions : public QObject
{
    Q_OBJECT

private slots:
    void parseLine_data() { addInputs(QStringLiteral("tmsg")); }
    void parseLine();
    void splitItems_data() { addInputs(QStringLiteral("takeitem")); }
    void splitItems();
    void readConfig_data() { addInputs(QStringLiteral("config")); }
    void readConfig();
    void receive_data() { addInputs(QStringLiteral("telso")); }
    void receive();
    void typeTime_data() { addInputs(QStringLiteral("typedtime")); }
    void typeTime();
    void buildPlant_data() { addInputs(QStringLiteral("plant")); }
    void buildPlant();
};

void TestRegressions::parseLine()
{
    QFETCH(QByteArray, input);
    const QString line = QString::fromUtf8(input);
    TMsg msg;
    const int kind = msg.parse(line);
    QVERIFY(kind >= TMsg::Request && kind <= TMsg::Unparsed);
    if (kind != TMsg::Unparsed) {
        QVERIFY(!msg.cmd.isEmpty());
        QCOMPARE(msg.params.isEmpty(), msg.paramList.isEmpty());
    }
    TMsg reused;
    reused.parse(QStringLiteral("A.a>B.b _Ev x y"));
    QCOMPARE(reused.parse(line), kind);
    QCOMPARE(reused.fromSub, msg.fromSub);
    QCOMPARE(reused.toSub, msg.toSub);
    QCOMPARE(reused.paramList, msg.paramList);
}

void TestRegressions::splitItems()
{
    QFETCH(QByteArray, input);
    const QString line = QString::fromUtf8(input);
    QVERIFY(line.startsWith(stripComment(line)));
    QString rest = line;
    for (;;) {
        QString item;
        const QString next = takeItem(rest, item);
        if (next.isEmpty())
            break;
        QVERIFY(next.size() < rest.size());
        rest = next;
    }
}

void TestRegressions::readConfig()
{
    QFETCH(QByteArray, input);
    TempWorkDir dir;
    dir.write(QStringLiteral("self.cfg"), input);
    config.clear();
    QVERIFY(config.readFile(QStringLiteral("self.cfg")));
    const qsizetype count = config.allEntries().size();
    config.clear();
    QVERIFY(config.readFile(QStringLiteral("self.cfg")));
    QCOMPARE(config.allEntries().size(), count);
    config.clear();
}

// Whatever came before, the line after it is taken and the client stays in.
void TestRegressions::receive()
{
    QFETCH(QByteArray, input);
    TempWorkDir dir;
    FakeServer server;
    Telso telso(QString(), QString(), QStringLiteral("Kestrune"), QStringLiteral("Kestrune"));
    bool closed = false;
    connect(&telso, &Telso::askStat, &telso, [&](const TMsg &msg) {
        if (msg.from == QLatin1String("FuzzEnd"))
            closed = true;
        else
            telso.reply(msg, QStringLiteral("Ok: ") + msg.params);
    });
    QVERIFY(loginTelso(telso, server));
    server.sendRaw(input + "\nFuzzEnd>Kestrune Stat 1\n");
    QTRY_VERIFY_WITH_TIMEOUT(closed, 10000);
    QVERIFY(telso.isLoggedIn());
}

void TestRegressions::typeTime()
{
    QFETCH(QByteArray, input);
    aValve valve(QStringLiteral("1"), 0, QStringLiteral("N2"), 1.0, QStringLiteral("Main"), QStringLiteral("Dev1"),
                 QStringLiteral("1"), 0, 0, 10, 10, nullptr, QString());
    const QString text = QString::fromUtf8(input);
    const qsizetype lf = text.indexOf(QLatin1Char('\n'));
    type(valve.timeToOpenField(), text.left(lf));
    type(valve.timeToCloseField(), lf < 0 ? text : text.mid(lf + 1));
    QVERIFY(valve.openTimer->interval() >= 0);
    QVERIFY(valve.closeTimer->interval() >= 0);
    QVERIFY(!valve.closeTimer->isActive());
    QCOMPARE(valve.openTimer->isActive(), valve.timeToOpenOn);
}

// Built, drawn, served and stopped; the server named is a closed local port.
void TestRegressions::buildPlant()
{
    QFETCH(QByteArray, input);
    TempWorkDir dir;
    config.clear();
    config.readFile(dir.write(QStringLiteral("plant.cfg"), input));
    config.readFile(dir.write(QStringLiteral("server.cfg"), "TELSO_IP 127.0.0.1\nTELSO_PORT 1\n"
                                                            "NAME_ON_TELSO Kestrune\nKEY_FILE_NAME Kestrune\n"));
    {
        Body body;
        QImage image(body.diagram()->size().boundedTo(QSize(2000, 2000)).expandedTo(QSize(1, 1)),
                     QImage::Format_RGB32);
        {
            QPainter painter(&image);
            body.draw(&painter);
        }
        TMsg stat;
        stat.parse(QStringLiteral("Fuzz>Kestrune Stat"));
        emit body.busClient()->askStat(stat);
        body.stopAll();
        QCoreApplication::processEvents();
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    config.clear();
}

QTEST_MAIN(TestRegressions)
#include "tst_regressions.moc"
