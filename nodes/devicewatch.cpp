#include "nodes/devicewatch.h"

#include <QTimer>

#include <cmath>

namespace {

constexpr int defaultConfirmMsec = 5000;
// Polls closer together than this would flood the bus.
constexpr int minPollMsec = 100;
// A day: any longer is as good as never, and stays inside a timer's range.
constexpr double maxMsec = 86400000.0;

// Positive seconds as milliseconds, 0 when the text is no such number.
int positiveMsec(const QString &seconds)
{
    bool ok = false;
    const double s = seconds.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(s) || s <= 0)
        return 0;
    return std::max(1, int(std::lround(std::min(s * 1000.0, maxMsec))));
}

} // namespace

DeviceWatch::DeviceWatch(QObject *parent, std::function<QDateTime()> clock)
    : QObject(parent), clock(clock ? std::move(clock) : [] { return QDateTime::currentDateTime(); })
{
    deadline = new QTimer(this);
    deadline->setSingleShot(true);
    connect(deadline, &QTimer::timeout, this, &DeviceWatch::expire);
    readBack = new QTimer(this);
    readBack->setSingleShot(true);
    connect(readBack, &QTimer::timeout, this, [this] {
        if (pending == Command && !readBackAsked)
            emit readBackDue();
    });
    poll = new QTimer(this);
    connect(poll, &QTimer::timeout, this, [this] {
        // A device that owes an answer is being asked already.
        if (pending == Nothing)
            emit pollDue();
    });
}

int DeviceWatch::confirmMsecFor(const QString &seconds)
{
    const int msec = positiveMsec(seconds);
    return msec > 0 ? msec : defaultConfirmMsec;
}

int DeviceWatch::pollMsecFor(const QString &seconds)
{
    const int msec = positiveMsec(seconds);
    return msec > 0 ? std::max(msec, minPollMsec) : 0;
}

void DeviceWatch::setTimes(int confirmMsec, int pollMsec)
{
    this->confirmMsec = std::max(0, confirmMsec);
    this->pollMsec = this->confirmMsec > 0 ? std::max(0, pollMsec) : 0;
    poll->setInterval(this->pollMsec);
    if (this->pollMsec == 0)
        poll->stop();
    if (this->confirmMsec == 0) {
        deadline->stop();
        readBack->stop();
        pending = Nothing;
    }
}

void DeviceWatch::commandSent(const QString &command)
{
    if (!isOn())
        return;
    expect(Command, command);
    readBackAsked = false;
    readBack->start(readBackDelay());
    // The command's own confirmation stands for the next poll.
    if (poll->isActive())
        poll->start();
}

void DeviceWatch::questionSent(const QString &question)
{
    // A command or an earlier question still owes its answer; asking again
    // must not push that deadline further out.
    if (!isOn() || pending != Nothing)
        return;
    expect(Question, question);
}

void DeviceWatch::expect(Pending what, const QString &text)
{
    pending = what;
    pendingWhat = text;
    deadline->start(confirmMsec);
}

void DeviceWatch::readBackSent()
{
    readBackAsked = true;
}

void DeviceWatch::linkUp()
{
    if (pollMsec > 0)
        poll->start();
}

void DeviceWatch::linkLost()
{
    const bool command = pending == Command;
    pending = Nothing;
    deadline->stop();
    readBack->stop();
    poll->stop();
    if (command)
        emit commandSettled(false);
}

void DeviceWatch::report(bool matchesCommand, bool matchesShown, bool reply)
{
    if (pending == Command) {
        if (matchesCommand) {
            setMark(NoMark, QString());
            settle(true);
        } else if (reply && readBackAsked) {
            setMark(Mismatch, pendingWhat);
            settle(false);
        }
        return;
    }
    if (pending == Question) {
        pending = Nothing;
        deadline->stop();
    }
    // The display follows every report, so a device that answers again is
    // shown as it is; a contradiction stands until a report agrees.
    if (current == NoAnswer || (current == Mismatch && matchesShown))
        setMark(NoMark, QString());
}

void DeviceWatch::heardFrom()
{
    if (pending == Command)
        return;
    if (pending == Question) {
        pending = Nothing;
        deadline->stop();
    }
    if (current == NoAnswer)
        setMark(NoMark, QString());
}

void DeviceWatch::settle(bool confirmed)
{
    pending = Nothing;
    deadline->stop();
    readBack->stop();
    emit commandSettled(confirmed);
}

void DeviceWatch::expire()
{
    if (pending == Nothing)
        return;
    const bool command = pending == Command;
    setMark(NoAnswer, pendingWhat);
    if (command)
        settle(false);
    else
        pending = Nothing;
}

void DeviceWatch::setMark(Mark mark, const QString &request)
{
    if (mark == current && request == markWhat)
        return;
    // A mark that goes on stands since it first came.
    if (mark != current)
        since = mark == NoMark ? QDateTime() : clock();
    current = mark;
    markWhat = request;
    emit markChanged();
}
