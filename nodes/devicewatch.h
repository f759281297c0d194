#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>

#include <functional>

class QTimer;

// Keeps one device honest: every command must be confirmed, and every
// question (the synchronisation after a login, the poll) answered, within the
// confirmation time. The node tells it what it sent and whether a report
// agrees; the watch keeps the times and the mark. Nothing runs until
// setTimes() gives a confirmation time.
class DeviceWatch : public QObject
{
    Q_OBJECT

public:
    enum Mark { NoMark, NoAnswer, Mismatch };

    explicit DeviceWatch(QObject *parent = nullptr, std::function<QDateTime()> clock = {});

    // confirmMsec 0 switches the watch off; pollMsec 0 switches polling off.
    void setTimes(int confirmMsec, int pollMsec);
    int confirmTime() const { return confirmMsec; }
    int pollTime() const { return pollMsec; }
    // A read-back is asked this long after a command that nothing confirmed.
    int readBackDelay() const { return qMin(500, confirmMsec / 2); }

    // Configuration texts in seconds, decimals allowed, to milliseconds.
    // A confirmation time that is not a positive number is the default;
    // a poll time that is not one switches polling off.
    static int confirmMsecFor(const QString &seconds);
    static int pollMsecFor(const QString &seconds);

    void commandSent(const QString &command);
    void questionSent(const QString &question);
    void readBackSent();
    void linkUp();
    // Whatever was pending goes without a mark: it was never answered
    // because the link went, and it is not asked again.
    void linkLost();

    // A report of the position or set value. matchesCommand: it is what the
    // pending command asked for; matchesShown: it is what the panel shows.
    // Only an answer to the read-back can contradict a command: an event,
    // or an answer to an earlier question, may still be on its way from
    // before the command.
    void report(bool matchesCommand, bool matchesShown, bool reply);
    // A report that only shows the device is there (a measured flow).
    void heardFrom();

    bool isOn() const { return confirmMsec > 0; }
    bool commandPending() const { return pending == Command; }
    bool questionPending() const { return pending == Question; }
    Mark mark() const { return current; }
    // The command or question the mark is about.
    QString markRequest() const { return markWhat; }
    QDateTime markSince() const { return since; }

signals:
    void readBackDue();
    void pollDue();
    void markChanged();
    // The pending command was confirmed, contradicted, not answered or
    // dropped with the link.
    void commandSettled(bool confirmed);

private:
    Q_DISABLE_COPY(DeviceWatch)

    enum Pending { Nothing, Command, Question };

    void expect(Pending what, const QString &text);
    void settle(bool confirmed);
    void expire();
    void setMark(Mark mark, const QString &request);

    std::function<QDateTime()> clock;
    QTimer *deadline = nullptr;
    QTimer *readBack = nullptr;
    QTimer *poll = nullptr;
    int confirmMsec = 0;
    int pollMsec = 0;
    Pending pending = Nothing;
    QString pendingWhat;
    bool readBackAsked = false;
    Mark current = NoMark;
    QString markWhat;
    QDateTime since;
};
