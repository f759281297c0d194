// Every input kept for the fuzz targets, replayed in the normal suite (and so under the sanitizers).
#include "bus/telso.h"
#include "config/config.h"
#include "config/takeitem.h"
#include "diagram/gview.h"
#include "nodes/ticktimer.h"
#include "support/fakeserver.h"
#include "support/tempworkdir.h"
#include "valves/avalve.h"
#include "window/body.h"

#include <QPainter>
#include <QtTest>

class TestRegressions : public QObject
{
    Q_OBJECT

private slots:
    void replay_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QByteArray>("input");
        for (const char *target : {"tmsg", "takeitem", "config", "telso", "typedtime", "plant"}) {
            const QString fuzz = QFINDTESTDATA("../fuzz");
            QVERIFY2(!QDir(fuzz + "/corpus/" + target).isEmpty(), target); // a target must have kept inputs
            for (const char *kind : {"corpus", "regressions"}) {
                const QDir dir(fuzz + QStringLiteral("/%1/%2").arg(kind, target));
                for (const QString &name : dir.entryList(QDir::Files, QDir::Name)) {
                    QFile file(dir.filePath(name));
                    QVERIFY(file.open(QIODevice::ReadOnly));
                    QTest::addRow("%s/%s/%s", kind, target, qPrintable(name)) << target << file.readAll();
                }
            }
        }
    }

    void replay()
    {
        QFETCH(QString, target);
        QFETCH(QByteArray, input);
        const QString text = QString::fromUtf8(input);
        TempWorkDir dir;
        config.clear();
        if (target == "tmsg") { // a reused message keeps nothing of the one before
            TMsg msg, reused;
            reused.parse("A.a>B.b _Ev x y");
            QVERIFY(reused.parse(text) == msg.parse(text) && reused.paramList == msg.paramList);
        } else if (target == "takeitem") {
            QVERIFY(text.startsWith(stripComment(text)));
            QString item, rest = text;
            for (QString next; !(next = takeItem(rest, item)).isEmpty(); rest = next)
                QVERIFY(next.size() < rest.size());
        } else if (target == "telso") { // whatever came before, the next line is taken
            FakeServer server;
            Telso telso(QString(), QString(), "Kestrune", "Kestrune");
            bool ended = false;
            connect(&telso, &Telso::askStat, &telso, [&](const TMsg &msg) { ended = msg.from == "FuzzEnd"; });
            QVERIFY(loginTelso(telso, server));
            server.sendRaw(input + "\nFuzzEnd>Kestrune Stat 1\n");
            QTRY_VERIFY_WITH_TIMEOUT(ended && telso.isLoggedIn(), 10000);
        } else if (target == "typedtime") {
            aValve valve("1", 0, "N2", 1.0, "Main", "Dev1", "1", 0, 0, 10, 10, nullptr, QString());
            valve.timeToOpenField()->setText(text.left(text.indexOf('\n')));
            emit valve.timeToOpenField()->editingFinished();
            valve.timeToCloseField()->setText(text.mid(text.indexOf('\n') + 1));
            emit valve.timeToCloseField()->editingFinished();
            QVERIFY(!valve.closeTimer->isActive() && valve.openTimer->isActive() == valve.timeToOpenOn);
        } else { // a configuration read, and the plant built, drawn, asked and stopped; the server is a closed port
            QVERIFY(config.readFile(dir.write("plant.cfg", input)));
            config.readFile(dir.write("server.cfg", "TELSO_IP 127.0.0.1\nTELSO_PORT 1\nNAME_ON_TELSO Kestrune\n"));
            QScopedPointer<Body> body(new Body);
            QImage image(800, 600, QImage::Format_RGB32);
            QPainter painter(&image);
            body->diagram()->paint(&painter);
            TMsg stat;
            stat.parse("Fuzz>Kestrune Stat");
            emit body->busClient()->askStat(stat);
            body->stopAll();
            body.reset();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
    }
};

QTEST_MAIN(TestRegressions)
#include "tst_regressions.moc"
