#pragma once

#include <QObject>
#include <QString>

// Appends to a daily file and notices when that fails: every append that
// cannot open the file, or write and flush all of its text, is counted. The
// first failure of a run of them and the return to normal are reported on
// standard error and in log.log (which may itself be unwritable).
class CheckedAppend : public QObject
{
    Q_OBJECT

public:
    // what names the file in the reports, e.g. "Record file".
    explicit CheckedAppend(const QString &what, QObject *parent = nullptr);

    // Appends text to fileName, after header when the file cannot be read
    // yet (a new file). True when all of it reached the file.
    bool append(const QString &fileName, const QString &text, const QString &header = QString());

    // Appends that failed since the start.
    int failures() const { return failed; }
    // True from a failure until the next append that succeeds.
    bool failing() const { return inFailure; }

signals:
    void failuresChanged(int failures);
    // failing() changed: the first failure of a run, or the next good write.
    void failingChanged(bool failing);

private:
    Q_DISABLE_COPY(CheckedAppend)

    void report(const QString &text);

    QString what;
    int failed = 0;
    int failedInRun = 0;
    bool inFailure = false;
};
