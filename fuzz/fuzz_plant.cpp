// A whole plant built from any configuration text, offscreen: the window is
// made, its diagram painted once, a few requests served, and it is taken
// down again. The server named is always a closed local port, and the
// program's files stay in a scratch folder.
#include "bus/telso.h"
#include "config/config.h"
#include "diagram/gview.h"
#include "fuzz/fuzzsupport.h"
#include "nodes/anode.h"
#include "window/body.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>

namespace {

void writeFile(const QString &name, const char *data, qsizetype size)
{
    QFile file(name);
    FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    FUZZ_CHECK(file.write(data, size) == size);
}

void paint(Body &body, QImage &image)
{
    QPainter painter(&image);
    body.diagram()->paint(&painter);
}

// Requests every node with a bus name would get, to the first bus name.
void serve(Body &body)
{
    Telso *bus = body.busClient();
    emit bus->ready();
    for (aNode *node : body.nodeList()) {
        if (node->busNames.isEmpty())
            continue;
        const QString to = QStringLiteral("Fuzz>Kestrune.") + node->busNames.first();
        TMsg msg;
        msg.parse(to + QStringLiteral(" SetNewGas ") + node->gas + QStringLiteral(" 1.5"));
        emit bus->AskSetNewGas(msg);
        msg.parse(to + QStringLiteral(" GetNowGas"));
        emit bus->AskGetNowGas(msg);
        msg.parse(to + QStringLiteral(" SetPurge 2"));
        emit bus->AskSetPurge(msg);
    }
    TMsg stat;
    stat.parse(QStringLiteral("Fuzz>Kestrune Stat"));
    emit bus->askStat(stat);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz::quietMessages();
    fuzz::enterScratchDir();
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "fuzz_plant";
    static char *argv[] = {name, nullptr};
    new QApplication(argc, argv); // lives as long as the run
    const char server[] = "TELSO_IP 127.0.0.1\nTELSO_PORT 1\nNAME_ON_TELSO Kestrune\nKEY_FILE_NAME Kestrune\n";
    writeFile(QStringLiteral("server.cfg"), server, qsizetype(sizeof server - 1));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    writeFile(QStringLiteral("plant.cfg"), reinterpret_cast<const char *>(data), qsizetype(size));
    config.clear();
    config.readFile(QStringLiteral("plant.cfg"));
    config.readFile(QStringLiteral("server.cfg"));
    {
        Body body;
        const QSize size = body.diagram()->size().boundedTo(QSize(2000, 2000)).expandedTo(QSize(1, 1));
        QImage image(size, QImage::Format_RGB32);
        paint(body, image);
        serve(body);
        // Lines opened by the requests are drawn with gas in them.
        paint(body, image);
        body.stopAll();
        QCoreApplication::processEvents();
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    // The record file and the log would only grow from run to run.
    const QStringList written = QDir().entryList({QStringLiteral("*.log")}, QDir::Files);
    for (const QString &name : written)
        QFile::remove(name);
    return 0;
}
