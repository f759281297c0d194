#include "support/panelprocess.h"

#include <QDir>
#include <QFile>

PanelProcess::PanelProcess(QObject *parent) : QObject(parent) {}

PanelProcess::~PanelProcess()
{
    stop();
}

bool PanelProcess::start(const QByteArray &plant, quint16 serverPort, int timeoutMs)
{
    if (!dir.isValid())
        return false;
    QFile cfg(dir.filePath(QStringLiteral("plant.cfg")));
    QFile keys(dir.filePath(QStringLiteral("Kestrune.key")));
    if (!cfg.open(QIODevice::WriteOnly) || !keys.open(QIODevice::WriteOnly))
        return false;
    cfg.write(plant + "\nTELSO_IP 127.0.0.1\nTELSO_PORT " + QByteArray::number(serverPort) + '\n');
    cfg.close();
    keys.write("key\n");
    keys.close();

    const QString binary =
        QDir(qEnvironmentVariable("KESTRUNE_BIN_DIR", QDir::currentPath())).filePath(QStringLiteral("kestrune"));
    process.setWorkingDirectory(dir.path());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    process.setProcessEnvironment(env);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(binary, {QStringLiteral("-c"), QStringLiteral("plant.cfg"), QStringLiteral("-e")});
    return process.waitForStarted(timeoutMs);
}

void PanelProcess::stop()
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.kill();
    process.waitForFinished(10000);
}

qint64 PanelProcess::residentKiB() const
{
    return residentKiB(pid());
}

qint64 PanelProcess::residentKiB(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (pid <= 0 || !status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).simplified().split(' ').value(0).toLongLong();
    }
    return -1;
}

template <typename Visit> void PanelProcess::forEachRecordRow(Visit visit) const
{
    const QStringList files = QDir(dir.path()).entryList({QStringLiteral("Kestrune-[0-9]*.log")}, QDir::Files, QDir::Name);
    for (const QString &name : files) {
        QFile file(dir.filePath(name));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        while (!file.atEnd()) {
            QByteArray line = file.readLine();
            if (line.endsWith('\n'))
                line.chop(1);
            if (!line.isEmpty() && !line.startsWith('#'))
                visit(line);
        }
    }
}

QStringList PanelProcess::recordRows() const
{
    QStringList rows;
    forEachRecordRow([&rows](const QByteArray &line) { rows << QString::fromUtf8(line); });
    return rows;
}

qint64 PanelProcess::recordRowCount() const
{
    qint64 count = 0;
    forEachRecordRow([&count](const QByteArray &) { ++count; });
    return count;
}
