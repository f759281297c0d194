#include "nodes/anode.h"

#include "bus/commandtable.h"
#include "bus/telso.h"
#include "config/numbers.h"
#include "config/writelog.h"
#include "nodes/ticktimer.h"

#include <QDebug>

#include <climits>
#include <cmath>

aNode::aNode(const QString &nodeName, int panelColumn, int nodeKind, const QString &gas, double cf,
             const QString &label, const QString &hwNode, const QString &channel, int x, int y, int w, int h,
             Telso *telso)
{
    stat = true;
    this->nodeName = nodeName;
    this->panelColumn = panelColumn;
    this->nodeKind = nodeKind;
    this->gas = gas;
    this->cf = cf;
    this->label = label;
    this->hwNode = hwNode;
    this->channel = channel;
    this->x = x;
    this->y = y;
    this->w = w;
    this->h = h;
    this->telso = telso;
    gasList = gas.simplified().split(QLatin1Char(','));

    openTimer = new TickTimer(this);
    openTimer->setSingleShot(true);
    closeTimer = new TickTimer(this);
    closeTimer->setSingleShot(true);

    connect(openTimer, &QTimer::timeout, this, &aNode::timeToOpen);
    connect(closeTimer, &QTimer::timeout, this, &aNode::timeToClose);
    connect(openTimer, &TickTimer::tick, this, &aNode::timeToOpenTick);
    connect(closeTimer, &TickTimer::tick, this, &aNode::timeToCloseTick);
    if (telso) {
        connect(telso, &Telso::ready, this, &aNode::connected);
        connect(telso, &Telso::linkChanged, this, &aNode::linkChanged);
    }
}

aNode::~aNode()
{
    if (routedBy)
        routedBy->router().remove(this);
}

void aNode::watchDevice()
{
    if (!telso || hwNode.isEmpty() || watch)
        return;
    watch = new DeviceWatch(this);
    connect(watch, &DeviceWatch::markChanged, this, [this] {
        refreshLook();
        emit markChanged();
    });
    connect(watch, &DeviceWatch::commandSettled, this, &aNode::confirmationSettled);
}

QString aNode::typeName() const
{
    return QStringLiteral("Node");
}

bool aNode::isFlowing()
{
    FlowMemo memo;
    return isFlowing(memo);
}

bool aNode::isFlowing(FlowMemo &memo)
{
    const auto known = memo.flowing.constFind(this);
    if (known != memo.flowing.constEnd())
        return *known;
    bool flowing = false;
    if (isOn()) {
        flowing = children.isEmpty();
        for (aNode *child : std::as_const(children)) {
            if (child->isFlowing(memo)) {
                flowing = true;
                break;
            }
        }
    }
    memo.flowing.insert(this, flowing);
    return flowing;
}

bool aNode::isOn() const
{
    return stat;
}

void aNode::doubleClickAction() {}

bool aNode::takeRouteFlow(const QString &, double &)
{
    return false;
}

void aNode::scaleMixture(GasMixture &, qsizetype) const {}

void aNode::takePurge(double) {}

void aNode::stop() {}

QString aNode::recordText() const
{
    return QString();
}

bool aNode::labelShown() const
{
    return true;
}

bool aNode::linkDown() const
{
    return telso && (!telso->isLoggedIn() || !telso->isAnswering());
}

QString aNode::statusText() const
{
    QString text;
    appendStatusText(text);
    return text;
}

void aNode::appendStatusText(QString &) const {}

aNode::Mark aNode::mark() const
{
    return watch ? watch->mark() : DeviceWatch::NoMark;
}

QDateTime aNode::markSince() const
{
    return watch ? watch->markSince() : QDateTime();
}

bool aNode::confirmationPending() const
{
    return watch && watch->commandPending();
}

void aNode::setWatchTimes(int confirmMsec, int pollMsec)
{
    if (watch)
        watch->setTimes(confirmMsec, pollMsec);
}

QString aNode::deviceText() const
{
    return hwNode;
}

QString aNode::reportedText() const
{
    return QString();
}

QString aNode::markText() const
{
    const QString since = markSince().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    switch (mark()) {
    case DeviceWatch::NoAnswer:
        return tr("%1: no answer from %2 to \"%3\" since %4").arg(label, deviceText(), watch->markRequest(), since);
    case DeviceWatch::Mismatch:
        return tr("%1: %2 reports %3 after \"%4\" since %5")
            .arg(label, deviceText(), reportedText(), watch->markRequest(), since);
    default:
        return QString();
    }
}

QString aNode::lookToolTip() const
{
    if (mark() != DeviceWatch::NoMark)
        return markText();
    if (linkDown())
        return tr("Not connected to the server: the plant may no longer be as shown");
    return QString();
}

void aNode::refreshLook() {}

void aNode::linkChanged()
{
    // Nothing is sent while the link is down, and nothing is asked again
    // later: what was pending goes unmarked.
    if (watch && linkDown())
        watch->linkLost();
    refreshLook();
}

// Position before the first node lying further right than n: nodes with the
// same x stay in the order they were added.
static qsizetype insertPosition(const QList<aNode *> &list, const aNode *n)
{
    for (qsizetype i = 0; i < list.size(); ++i) {
        if (list.at(i)->x > n->x)
            return i;
    }
    return list.size();
}

void aNode::addChild(aNode *child)
{
    children.insert(insertPosition(children, child), child);
    connect(child, &aNode::newStat, this, &aNode::newFromStat);
}

void aNode::addParent(aNode *parent)
{
    parents.insert(insertPosition(parents, parent), parent);
}

int aNode::indexOfChild(aNode *node) const
{
    return int(children.indexOf(node));
}

int aNode::indexOfParent(aNode *node) const
{
    return int(parents.indexOf(node));
}

void aNode::collectSubtree(aNode *start, QList<aNode *> &list)
{
    for (aNode *child : std::as_const(start->children))
        collectSubtree(child, list);
    list.append(start);
}

// Minutes to whole milliseconds for a countdown. A time that is not finite
// counts as 0 (switched off); one that does not fit the timer's interval is
// capped rather than wrapped into a short or negative time.
static double checkedMinutes(double minutes, const char *what)
{
    if (!std::isfinite(minutes)) {
        qDebug().noquote()
            << QStringLiteral("%1 %2 is not a number: switched off").arg(QLatin1String(what)).arg(minutes);
        return 0.0;
    }
    return minutes;
}

static int intervalFor(double minutes, const char *what)
{
    const double msec = std::trunc(minutes * 60.0 * 1000.0);
    if (msec > double(INT_MAX)) {
        qDebug().noquote() << QStringLiteral("%1 %2 min is too long: capped to %3 ms")
                                  .arg(QLatin1String(what))
                                  .arg(minutes)
                                  .arg(INT_MAX);
        return INT_MAX;
    }
    return int(msec);
}

// A countdown shorter than a second would let a typo switch a valve many
// times a second: it is taken as one second, and logged.
int aNode::shortestInterval(double minutes, int msec, const char *what) const
{
    if (msec >= MinTimedInterval)
        return msec;
    writeLog(QStringLiteral("Valv [%1] : time to %2 %3 min is below one second; one second is used")
                 .arg(label, QLatin1String(what), shortest(minutes)));
    return MinTimedInterval;
}

void aNode::setTimeToOpen(double minutes)
{
    minutes = checkedMinutes(minutes, "Time to open");
    if (minutes > 0) {
        timeToOpenOn = true;
        openTimer->setInterval(shortestInterval(minutes, intervalFor(minutes, "Time to open"), "open"));
        if (!isFlowing()) {
            restartOpenTimer();
            emit timeToOpenTick(openTimer->remainingTime());
        }
    } else {
        // Switched off: a countdown already running must not act any more.
        stopOpenTimer();
        timeToOpenOn = false;
    }
}

void aNode::setTimeToClose(double minutes)
{
    minutes = checkedMinutes(minutes, "Time to close");
    if (minutes > 0) {
        timeToCloseOn = true;
        closeTimer->setInterval(shortestInterval(minutes, intervalFor(minutes, "Time to close"), "close"));
        if (isFlowing()) {
            restartCloseTimer();
            emit timeToCloseTick(closeTimer->remainingTime());
        }
    } else {
        stopCloseTimer();
        timeToCloseOn = false;
    }
}

void aNode::restartOpenTimer()
{
    if (!timeToOpenOn)
        return;
    openTimer->stop();
    openTimer->stopTicks();
    openTimer->start();
    openTimer->startTicks();
}

void aNode::restartCloseTimer()
{
    if (!timeToCloseOn)
        return;
    closeTimer->stop();
    closeTimer->stopTicks();
    closeTimer->start();
    closeTimer->startTicks();
}

void aNode::stopOpenTimer()
{
    if (!timeToOpenOn)
        return;
    openTimer->stop();
    openTimer->stopTicks();
}

void aNode::stopCloseTimer()
{
    if (!timeToCloseOn)
        return;
    closeTimer->stop();
    closeTimer->stopTicks();
}

void aNode::newFromStat() {}

void aNode::connected()
{
    // Joining again after a second login changes nothing: each request is
    // still answered once.
    routedBy = telso;
    telso->router().join(this, busNames);
    if (watch)
        watch->linkUp();
    connected0();
}

void aNode::connected0() {}

void aNode::addBusName(const QString &name)
{
    busNames.append(name);
    if (routedBy)
        routedBy->router().addName(this, name);
}

void aNode::followDevice(BusRouter::DeviceKind kind, const QString &sender, const QString &channel)
{
    if (!telso)
        return;
    routedBy = telso;
    telso->router().addDevice(this, kind, sender, channel);
}

void aNode::takeRequest(const TMsg &msg)
{
    switch (msg.code) {
    case CmdSetNewGas:
    case CmdSetGas:
        AskSetNewGas(msg);
        break;
    case CmdGetNowGas:
    case CmdGetGas:
        AskGetNowGas(msg);
        break;
    case CmdSetPurge:
        AskSetPurge(msg);
        break;
    case CmdStat:
        askStat(msg);
        break;
    default:
        // "GetMinFlow" and the rest expect no answer.
        break;
    }
}

void aNode::takeReport(const TMsg &) {}

// The subtree in the order collectSubtree lists it, each status after a blank.
static void appendSubtreeStatus(const aNode *n, QString &out, bool &first)
{
    for (const aNode *child : std::as_const(n->children))
        appendSubtreeStatus(child, out, first);
    if (!first)
        out += u' ';
    first = false;
    n->appendStatusText(out);
}

void aNode::askStat(const TMsg &msg)
{
    if (msg.toSub.isEmpty() || !busNames.contains(msg.toSub))
        return;
    QString text;
    text.reserve(256);
    text += u'@';
    text += msg.cmd;
    text += u' ';
    bool first = true;
    appendSubtreeStatus(this, text, first);
    telso->reply(msg, text);
}
