#include "valves/avalve.h"

#include "bus/commandtable.h"
#include "bus/telso.h"
#include "config/numbers.h"
#include "config/writelog.h"
#include "nodes/ticktimer.h"
#include "valves/conditions.h"

#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

static const char idleStyle[] = "background-color: rgb(241, 241, 241);";
static const char countingStyle[] = "background-color: rgb(250, 250, 241);";

std::function<void(QMessageBox *)> aValve::refusalShown;

aValve::aValve(const QString &nodeName, int panelColumn, const QString &gas, double cf, const QString &lineName,
               const QString &hwNode, const QString &channel, int x, int y, int w, int h, Telso *telso,
               const QString &flagWord)
    : aNode(nodeName, panelColumn, Valve, gas, cf, gas + QLatin1Char(' ') + lineName, hwNode, channel, x, y, w, h,
            telso)
{
    setupUi(this);
    // Polished before its state is styled: a style sheet given to a widget
    // not yet polished is read then, and once more when it is polished.
    ensurePolished();
    watchDevice();
    normallyOn = flagWord.toUpper() == QLatin1String("N_ON");
    L1->setText(gas);
    L2->setText(lineName);

    followDevice(BusRouter::ValveChannel, hwNode, channel);
    if (watch) {
        connect(watch, &DeviceWatch::readBackDue, this, [this] {
            askPosition();
            watch->readBackSent();
        });
        connect(watch, &DeviceWatch::pollDue, this, [this] {
            askPosition();
            watch->questionSent(QStringLiteral("IsOn %1").arg(this->channel));
        });
    }
    connect(B, &QPushButton::clicked, this, &aValve::buttonClicked);
    connect(this, &aNode::timeToOpen, this, &aValve::actionTimeToOpen);
    connect(this, &aNode::timeToClose, this, &aValve::actionTimeToClose);
    connect(this, &aNode::timeToOpenTick, this, &aValve::tickTimeToOpen);
    connect(this, &aNode::timeToCloseTick, this, &aValve::tickTimeToClose);

    stat = normallyOn;
    showStat(stat);
}

aValve::~aValve() = default;

QLineEdit *aValve::timeToOpenField()
{
    makeTimeFields();
    return DispTimeToOpen;
}

QLineEdit *aValve::timeToCloseField()
{
    makeTimeFields();
    return DispTimeToClose;
}

void aValve::makeTimeFields()
{
    if (DispTimeToOpen)
        return;
    DispTimeToOpen = makeTimeField(QStringLiteral("DispTimeToOpen"),
                                   tr("Time to open (minutes:seconds): counts down until the valve opens by itself; "
                                      "type a new time, 0 switches it off"),
                                   3);
    DispTimeToClose = makeTimeField(QStringLiteral("DispTimeToClose"),
                                    tr("Time to close (minutes:seconds): counts down until the valve closes by "
                                       "itself; type a new time, 0 switches it off"),
                                    4);
    // Tab goes from the button through both fields, wherever the panel's
    // turn comes in the window.
    setTabOrder(B, DispTimeToOpen);
    setTabOrder(DispTimeToOpen, DispTimeToClose);
    connect(DispTimeToOpen, &QLineEdit::editingFinished, this, &aValve::newTimeToOpen);
    connect(DispTimeToClose, &QLineEdit::editingFinished, this, &aValve::newTimeToClose);
}

QLineEdit *aValve::makeTimeField(const QString &name, const QString &toolTip, int row)
{
    auto *field = new QLineEdit(this);
    field->setObjectName(name);
    field->setToolTip(toolTip);
    field->setText(QStringLiteral("---"));
    field->setAlignment(Qt::AlignCenter);
    // Hidden before the layout takes it: a shown panel would show it too.
    field->hide();
    gridLayout->addWidget(field, row, 0);
    return field;
}

QString aValve::typeName() const
{
    return QStringLiteral("Valve");
}

bool aValve::isOn() const
{
    return stat;
}

void aValve::doubleClickAction()
{
    openClose();
}

void aValve::appendStatusText(QString &out) const
{
    out += u"V[";
    out += label;
    out += stat ? QStringView(u",Open]") : QStringView(u",Close]");
}

bool aValve::takeRouteFlow(const QString &flowText, double &)
{
    vOpen(toDecimal(flowText) != 0);
    return false;
}

void aValve::stop()
{
    vClose();
}

QString aValve::recordText() const
{
    return stat ? QStringLiteral("1") : QStringLiteral("0");
}

QString aValve::deviceText() const
{
    return hwNode + QLatin1Char(' ') + channel;
}

QString aValve::reportedText() const
{
    return stat ? tr("open") : tr("closed");
}

void aValve::buttonClicked()
{
    emit operatorAction(stat ? tr("Close button") : tr("Open button"));
    openClose();
}

void aValve::openClose()
{
    // Without the server the switch would not reach the valve: the panel
    // keeps showing the valve as it is and says so.
    if (linkDown()) {
        emit commandNotSent();
        return;
    }
    if (!stat)
        vOpen(true);
    else
        vClose();
}

void aValve::showStat(bool s)
{
    if (telso && !busNames.isEmpty()) {
        const QString event = QStringLiteral("NewStat Valve %1").arg(s ? 1 : 0);
        for (const QString &name : std::as_const(busNames))
            telso->sendEvent(name, event);
    }
    stat = s;
    emit newStat();
    refreshLook();
}

void aValve::refreshLook()
{
    const int state = stat ? 0 : 1;
    const bool marked = mark() != DeviceWatch::NoMark;
    B->setText(style.panelText(state, marked));
    restyle(B, style.panelStyle(state, marked, linkDown()));
    B->setToolTip(lookToolTip());
}

void aValve::connected0()
{
    telso->sendCommand(nodeName, QStringLiteral("System"), QStringLiteral("flgon %1").arg(hwNode), QString());
    askPosition();
    if (watch)
        watch->questionSent(QStringLiteral("IsOn %1").arg(channel));
}

void aValve::askPosition()
{
    telso->sendCommand(nodeName, hwNode, QStringLiteral("IsOn %1").arg(channel), QString());
}

void aValve::takeReport(const TMsg &m)
{
    if (m.code == CmdAnsIsOn)
        AnsIsOn(m);
    else if (m.code == CmdEvChangedIsOn)
        EvChangedIsOn(m);
}

void aValve::AnsIsOn(const TMsg &m)
{
    takePosition(m, true);
}

// The hardware's own report of a switch, by whomever, is taken as an answer.
void aValve::EvChangedIsOn(const TMsg &m)
{
    takePosition(m, false);
}

void aValve::takePosition(const TMsg &m, bool reply)
{
    if (m.from != hwNode)
        return;
    if (m.paramList.size() < 2)
        return;
    if (m.paramList.at(0) != channel)
        return;
    const int value = m.paramList.at(1).toInt(nullptr, 10);
    const bool open = (value == 1) != normallyOn;
    if (watch)
        watch->report(open == commanded, open == stat, reply);
    if (open != stat)
        showStat(open);
}

void aValve::actionTimeToOpen()
{
    timedSwitch(true);
    showBlankTimeToOpen();
}

void aValve::actionTimeToClose()
{
    timedSwitch(false);
    showBlankTimeToClose();
}

// A timed action that comes due without the server is not kept for later:
// a switch arriving long after its time could be worse than none. A quiet
// link may have stalled unnoticed, so the valve asks for its state first and
// switches only once the server shows within a moment that it is alive.
void aValve::timedSwitch(bool open)
{
    const QString what = open ? QStringLiteral("open") : QStringLiteral("close");
    const auto missed = [this, what, open](const QString &why) {
        writeLog(QStringLiteral("Valv [%1] : time to %2 came while %3; nothing was sent").arg(label, what, why));
        emit timedAction((open ? tr("Timed opening skipped: %1") : tr("Timed closing skipped: %1")).arg(why));
    };
    const auto carryOut = [this, open] {
        emit timedAction(open ? tr("Timed opening carried out") : tr("Timed closing carried out"));
        vOpen(open);
    };
    const QString silent = QStringLiteral("the server was not answering");
    if (linkDown()) {
        missed(telso->isLoggedIn() ? silent : QStringLiteral("not connected to the server"));
        return;
    }
    if (!telso || telso->linkTimeout() <= 0) {
        carryOut();
        return;
    }
    telso->sendCommand(nodeName, hwNode, QStringLiteral("IsOn %1").arg(channel), QString());
    telso->whenHeard(this, [carryOut, missed, silent](bool heard) {
        if (heard)
            carryOut();
        else
            missed(silent);
    });
}

void aValve::tickTimeToOpen(int remain_msec)
{
    showCountdown(timeToOpenField(), remain_msec);
}

void aValve::tickTimeToClose(int remain_msec)
{
    showCountdown(timeToCloseField(), remain_msec);
}

void aValve::showCountdown(QLineEdit *field, int remain_msec)
{
    const int minutes = remain_msec / 60000;
    const int seconds = remain_msec / 1000 - minutes * 60;
    field->setText(
        tr("%1:%2").arg(QString::number(minutes), QStringLiteral("%1").arg(seconds, 2, 10, QLatin1Char('0'))));
    restyle(field, QLatin1String(countingStyle));
}

void aValve::showTimeField(QLineEdit *field)
{
    // A countdown may have styled it already.
    if (field->styleSheet().isEmpty())
        field->setStyleSheet(QLatin1String(idleStyle));
    field->show();
}

void aValve::showBlankTimeToOpen()
{
    showCountdown(timeToOpenField(), openTimer->interval());
    restyle(DispTimeToOpen, QLatin1String(idleStyle));
}

void aValve::showBlankTimeToClose()
{
    showCountdown(timeToCloseField(), closeTimer->interval());
    restyle(DispTimeToClose, QLatin1String(idleStyle));
}

// "1:30", ":30", "2:" or a plain number of minutes; anything after the first
// ":" is the seconds part. Text that is not a number counts as 0.
static double typedMinutes(const QString &text)
{
    const qsizetype i = text.indexOf(QLatin1Char(':'));
    if (i < 0)
        return text.toDouble();
    const double minutes = text.left(i).toDouble();
    const double seconds = text.mid(i + 1).toDouble();
    return seconds / 60.0 + minutes;
}

void aValve::newTimeToOpen()
{
    const bool wasRunning = openTimer->isActive();
    setTimeToOpen(typedMinutes(DispTimeToOpen->text()));
    // Switching the timer off stopped the countdown; show it at rest.
    if (wasRunning && !timeToOpenOn)
        showBlankTimeToOpen();
}

void aValve::newTimeToClose()
{
    const bool wasRunning = closeTimer->isActive();
    setTimeToClose(typedMinutes(DispTimeToClose->text()));
    if (wasRunning && !timeToCloseOn)
        showBlankTimeToClose();
}

void aValve::vOpen(bool open)
{
    if (!open) {
        vClose();
        return;
    }
    QString message;
    if (!checkConditions(condToOpen, label, QStringLiteral("Open"), message)) {
        showRefusal(message);
        return;
    }
    bool anyOpen = false;
    for (aValve *partner : std::as_const(exclusiveValves)) {
        if (partner->isOn()) {
            anyOpen = true;
            partner->vClose();
        }
    }
    stopOpenTimer();
    showBlankTimeToOpen();
    restartCloseTimer();
    sendSwitch(true);
    showStat(true);
    if (anyOpen)
        emit triedToOpenExclusiveValves();
}

void aValve::vClose()
{
    QString message;
    if (!checkConditions(condToClose, label, QStringLiteral("Close"), message)) {
        showRefusal(message);
        return;
    }
    stopCloseTimer();
    showBlankTimeToClose();
    restartOpenTimer();
    sendSwitch(false);
    showStat(false);
}

void aValve::sendSwitch(bool open)
{
    if (!telso)
        return;
    const bool channelOn = open != normallyOn;
    const QString cmd = (channelOn ? QStringLiteral("ChOn %1") : QStringLiteral("ChOff %1")).arg(channel);
    if (!telso->sendCommand(nodeName, hwNode, cmd, QString()))
        return;
    commanded = open;
    if (watch)
        watch->commandSent(cmd);
}

// The box is modal for the operator but does not block the caller: it may be
// raised while a bus line is being handled, and waiting there for a click
// would hold back every later line.
void aValve::showRefusal(const QString &message)
{
    emit actionRefused(message);
    auto *box = new QMessageBox(QMessageBox::Warning, tr("Can't open the Valve"), message, QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
    if (refusalShown)
        refusalShown(box);
}
