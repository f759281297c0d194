#pragma once

#include <QObject>
#include <QProcess>
#include <QStringList>

// Runs build/kestrune-sim on a free loopback port for one test and keeps
// its transcript. The build directory comes from KESTRUNE_BIN_DIR.
class SimProcess : public QObject
{
    Q_OBJECT

public:
    explicit SimProcess(QObject *parent = nullptr);
    ~SimProcess() override;

    static QString binary(const QString &name);

    // Starts the sim with args plus "--port 0" (unless args name a port,
    // for a restart on the same one) and waits for the line that names the
    // port; false (with the output in errorText) when it fails. A sim started
    // before is stopped first and its transcript cleared.
    bool start(const QStringList &args, int timeoutMs = 10000);
    // Kills the sim, as a crash of the server would end it.
    void stop();
    quint16 port() const { return listenPort; }
    QString errorText() const { return problem; }

    // Transcript lines so far, time stamps included.
    QStringList lines() const { return output; }
    // True once some transcript line ends with text (time stamp aside).
    bool hasLine(const QString &text) const;
    bool waitForLine(const QString &text, int timeoutMs = 10000);

private:
    void readOutput();

    Q_DISABLE_COPY(SimProcess)
    QProcess process;
    QByteArray pending;
    QStringList output;
    quint16 listenPort = 0;
    QString problem;
};
