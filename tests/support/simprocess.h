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

    // Starts the sim with args plus "--port 0" and waits for the line that
    // names the port; false (with the output in errorText) when it fails.
    bool start(const QStringList &args, int timeoutMs = 10000);
    quint16 port() const { return listenPort; }
    QString errorText() const { return problem; }

    // Waits until some transcript line ends with text (time stamp aside).
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
