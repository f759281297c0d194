#pragma once

#include <QByteArray>
#include <QObject>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

// Runs the built kestrune the way an operator starts it (offscreen, English,
// "-c plant.cfg") in a fresh working directory of its own, so its record
// file and diagnostic log can be read afterwards. Its debug output is
// thrown away: under heavy traffic it runs to hundreds of megabytes.
class PanelProcess : public QObject
{
    Q_OBJECT

public:
    explicit PanelProcess(QObject *parent = nullptr);
    ~PanelProcess() override;

    // Writes plant (plus the server address and port) as plant.cfg and the
    // key file, then starts the panel; false when it does not start.
    bool start(const QByteArray &plant, quint16 serverPort, int timeoutMs = 10000);
    void stop();

    bool isRunning() const { return process.state() == QProcess::Running; }
    // Waits up to timeoutMs for the panel to end on its own; false while it runs.
    bool waitForExit(int timeoutMs) { return process.waitForFinished(timeoutMs); }
    qint64 pid() const { return process.processId(); }
    // Resident memory of the panel in KiB (VmRSS), -1 when it cannot be read.
    qint64 residentKiB() const;
    // The same for any process.
    static qint64 residentKiB(qint64 pid);

    QString filePath(const QString &name) const { return dir.filePath(name); }
    // Every data row of every record file the panel wrote (headers left out),
    // in file order; a run across midnight writes two files.
    QStringList recordRows() const;
    // Their number, without holding them all.
    qint64 recordRowCount() const;

private:
    Q_DISABLE_COPY(PanelProcess)
    template <typename Visit> void forEachRecordRow(Visit visit) const;

    QTemporaryDir dir;
    QProcess process;
};
