#include "support/simprocess.h"

#include <QDir>
#include <QRegularExpression>
#include <QTest>

SimProcess::SimProcess(QObject *parent) : QObject(parent)
{
    connect(&process, &QProcess::readyReadStandardOutput, this, &SimProcess::readOutput);
}

SimProcess::~SimProcess()
{
    process.kill();
    process.waitForFinished(5000);
}

QString SimProcess::binary(const QString &name)
{
    return QDir(qEnvironmentVariable("KESTRUNE_BIN_DIR", QDir::currentPath())).filePath(name);
}

bool SimProcess::start(const QStringList &args, int timeoutMs)
{
    process.start(binary(QStringLiteral("kestrune-sim")), args + QStringList{QStringLiteral("--port"), QStringLiteral("0")});
    static const QRegularExpression listening(QStringLiteral("^kestrune-sim listening on [^ ]+:(\\d+)$"));
    const bool up =
        QTest::qWaitFor([this] { return !output.isEmpty() || process.state() == QProcess::NotRunning; }, timeoutMs);
    const QRegularExpressionMatch m =
        up && !output.isEmpty() ? listening.match(output.first()) : QRegularExpressionMatch();
    if (!m.hasMatch()) {
        process.waitForFinished(1000);
        problem = QStringLiteral("kestrune-sim did not start: ") + output.join(QLatin1Char('\n')) +
                  QString::fromUtf8(process.readAllStandardError());
        return false;
    }
    listenPort = quint16(m.captured(1).toUInt());
    return true;
}

bool SimProcess::waitForLine(const QString &text, int timeoutMs)
{
    return QTest::qWaitFor(
        [this, &text] { return std::any_of(output.begin(), output.end(), [&](const QString &l) { return l.endsWith(text); }); },
        timeoutMs);
}

void SimProcess::readOutput()
{
    pending += process.readAllStandardOutput();
    qsizetype end;
    while ((end = pending.indexOf('\n')) >= 0) {
        output << QString::fromUtf8(pending.left(end));
        pending.remove(0, end + 1);
    }
}
