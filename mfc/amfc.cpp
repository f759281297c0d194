#include "mfc/amfc.h"

#include "bus/commandtable.h"
#include "bus/telso.h"
#include "config/numbers.h"

#include <QMessageBox>
#include <QTimer>

#include <cfloat>
#include <climits>
#include <cmath>

namespace {

// Keeps a computed value usable: an overflow saturates, an undefined result
// counts as 0, so nothing but a finite number is shown or sent.
double bounded(double v)
{
    if (std::isnan(v))
        return 0.0;
    if (std::isinf(v))
        return v > 0 ? DBL_MAX : -DBL_MAX;
    return v;
}

double finiteOrZero(double v)
{
    return std::isfinite(v) ? v : 0.0;
}

const int defaultCheckHold = 5000;

} // namespace

aMFC::aMFC(const QString &nodeName, int panelColumn, const QString &gas, double cf, const QString &label,
           const QString &hwNode, const QString &channel, int x, int y, int w, int h, double minFlowA, double minFlowB,
           Telso *telso)
    : aNode(nodeName, panelColumn, MFC, gas, cf, label, hwNode, channel, x, y, w, h, telso)
{
    setupUi(this);
    // Polished before its state is styled: a style sheet given to a widget
    // not yet polished is read then, and once more when it is polished.
    ensurePolished();
    watchDevice();

    this->minFlowA = finiteOrZero(minFlowA);
    this->minFlowB = finiteOrZero(minFlowB);
    minFlow = bounded(this->minFlowA * this->minFlowB);
    flowNormal = true;
    // Until the device has reported its set value the flow cannot be judged:
    // a measured-value answer that overtakes it would be announced as
    // abnormal, and the silent reset at the set value would leave that
    // alarm standing. The first set-value report starts the check.
    checkHeld = true;

    checkTimer = new QTimer(this);
    checkTimer->setSingleShot(true);
    checkTimer->setInterval(defaultCheckHold);
    connect(checkTimer, &QTimer::timeout, this, &aMFC::timeToChkFlow);

    stat = false;
    settingSV = mfcSV = mfcPV = 0.0;
    purge = 1.0;
    Purge->setText(QStringLiteral("1"));
    DispName->setText(label);

    followDevice(BusRouter::FlowController, deviceAddress());
    if (watch) {
        connect(watch, &DeviceWatch::readBackDue, this, [this] {
            sendToDevice(QStringLiteral("GetSettingValue"));
            watch->readBackSent();
        });
        connect(watch, &DeviceWatch::pollDue, this, &aMFC::askValues);
    }
    connect(UpdateSetPoint, &QPushButton::clicked, this, &aMFC::setClicked);
    connect(NewSetPoint, &QLineEdit::returnPressed, this, &aMFC::setClicked);
    // A refused entry stays marked until the operator changes it.
    setPointStyle = NewSetPoint->styleSheet();
    connect(NewSetPoint, &QLineEdit::textEdited, this, [this] { restyle(NewSetPoint, setPointStyle); });
    connect(InfoB, &QPushButton::clicked, this, &aMFC::showInfo);
    connect(Purge, &QLineEdit::editingFinished, this, &aMFC::newPurge);

    changeStatDisp();
}

aMFC::~aMFC()
{
    delete infoBox;
}

QString aMFC::typeName() const
{
    return QStringLiteral("MFC");
}

void aMFC::appendStatusText(QString &out) const
{
    out += u"M[";
    out += label;
    out += u',';
    out += svText.of(mfcSV);
    out += u',';
    out += pvText.of(mfcPV);
    out += u']';
}

bool aMFC::takeRouteFlow(const QString &flowText, double &kept)
{
    kept = setSetPointText(flowText);
    return true;
}

void aMFC::scaleMixture(GasMixture &shares, qsizetype from) const
{
    double total = 0.0;
    for (qsizetype i = from; i < shares.size(); ++i)
        total += shares.at(i).amount;
    if (total > 0) {
        for (qsizetype i = from; i < shares.size(); ++i)
            shares[i].amount = shares.at(i).amount / total * shownValue;
    }
}

void aMFC::takePurge(double magnification)
{
    setPurge(magnification);
    updateSetPoint();
}

void aMFC::stop()
{
    setSetPointText(QStringLiteral("0"));
}

QString aMFC::recordText() const
{
    return shownText;
}

QString aMFC::deviceText() const
{
    return deviceAddress();
}

QString aMFC::reportedText() const
{
    return tr("set value %1").arg(shortest(mfcSV));
}

QString aMFC::deviceAddress() const
{
    return channel.isEmpty() ? hwNode : hwNode + QLatin1Char('.') + channel;
}

bool aMFC::isDevice(const QString &sender) const
{
    if (channel.isEmpty())
        return sender == hwNode;
    return sender.size() == hwNode.size() + 1 + channel.size() && sender.startsWith(hwNode) &&
           sender.at(hwNode.size()) == QLatin1Char('.') && sender.endsWith(channel);
}

double aMFC::mfcToDisp()
{
    // Mean conversion factor of the gases flowing in, relative to our own.
    // Each term is divided first so that large factors cannot overflow the sum.
    FlowMemo memo;
    int flowing = 0;
    for (aNode *child : std::as_const(children))
        if (child->isFlowing(memo))
            ++flowing;
    if (flowing == 0)
        return 1.0;
    double mean = 0.0;
    for (aNode *child : std::as_const(children))
        if (child->isFlowing(memo))
            mean += finiteOrZero(child->cf) / flowing;
    const double own = finiteOrZero(cf);
    if (mean == 0.0 || own == 0.0)
        return 1.0;
    const double factor = mean / own;
    // A factor that over- or underflows cannot convert in either direction.
    if (!std::isfinite(factor) || factor == 0.0 || !std::isfinite(1.0 / factor))
        return 1.0;
    return factor;
}

double aMFC::dispToMfc()
{
    const double toDisp = mfcToDisp();
    const double factor = 1.0 / toDisp;
    return std::isfinite(factor) ? factor : 1.0;
}

double aMFC::shownFlow() const
{
    return shownValue;
}

void aMFC::setCheckHoldInterval(int msec)
{
    checkTimer->setInterval(msec);
}

int aMFC::checkHoldInterval() const
{
    return checkTimer->interval();
}

int aMFC::roundHalfAway(double v)
{
    if (std::isnan(v))
        return 0;
    return v >= 0 ? clampToInt(v + 0.5) : clampToInt(v - 0.5);
}

void aMFC::updateSetPoint()
{
    const int sp = clampToInt(toDecimal(NewSetPoint->text()) + 0.5);

    if (telso && !busNames.isEmpty())
        for (const QString &name : std::as_const(busNames))
            telso->sendEvent(name, QStringLiteral("NewStat MFC Set Point %1").arg(sp));

    settingSV = bounded(dispToMfc() * sp);

    if (minFlow > 0 && minFlow > settingSV) {
        settingSV = settingSV < minFlow / 2 ? 0.0 : minFlow;
        NewSetPoint->setText(displayText(bounded(settingSV * mfcToDisp())));
    }

    // Both factors fit an int, so their product fits 64 bits.
    const qint64 v = qint64(roundHalfAway(settingSV)) * qint64(roundHalfAway(purge));
    sendToDevice(QStringLiteral("SetRunMode %1").arg(v > 0 ? 1 : 2));
    const QString command = QStringLiteral("SetValue %1").arg(shortest(double(v)));
    if (sendToDevice(command) && watch) {
        commandedSV = double(v);
        watch->commandSent(command);
    }
}

void aMFC::AskGetMinFlow(const TMsg &)
{
    // Nobody asking for the minimum flow expects an answer.
}

void aMFC::connected0()
{
    if (!telso)
        return;
    telso->sendCommand(nodeName, QStringLiteral("System"), QStringLiteral("flgon %1").arg(hwNode));
    telso->sendCommand(nodeName, QStringLiteral("System"), QStringLiteral("flgon %1").arg(deviceAddress()));
    askValues();
}

void aMFC::askValues()
{
    sendToDevice(QStringLiteral("GetValue"));
    sendToDevice(QStringLiteral("GetSettingValue"));
    if (watch)
        watch->questionSent(QStringLiteral("GetValue, GetSettingValue"));
}

void aMFC::takeReport(const TMsg &msg)
{
    switch (msg.code) {
    case CmdAnsGetValue:
        AnsGetValue(msg);
        break;
    case CmdAnsGetSettingValue:
        AnsGetSettingValue(msg);
        break;
    case CmdEvChangedValue:
        noticedNewValue(msg);
        break;
    case CmdEvChangedSettingValue:
        noticedNewSettingValue(msg);
        break;
    default:
        break;
    }
}

void aMFC::AnsGetValue(const TMsg &msg)
{
    if (isDevice(msg.from) && !msg.paramList.isEmpty()) {
        if (watch)
            watch->heardFrom();
        setFloating(toDecimal(msg.paramList.first()));
    }
}

void aMFC::AnsGetSettingValue(const TMsg &msg)
{
    if (isDevice(msg.from)) {
        takeSetValueReport(msg, true);
        newSettingValue(msg);
    }
}

void aMFC::takeSetValueReport(const TMsg &msg, bool reply)
{
    if (!watch || msg.paramList.isEmpty())
        return;
    const double v = finiteOrZero(toDecimal(msg.paramList.first()));
    watch->report(v == commandedSV, v == mfcSV, reply);
}

void aMFC::noticedNewValue(const TMsg &msg)
{
    if (!isDevice(msg.from) || msg.paramList.isEmpty())
        return;
    if (watch)
        watch->heardFrom();
    setFloating(toDecimal(msg.paramList.first()));
    if (!telso)
        return;
    const QString text = QStringLiteral("_ChangedValue %1").arg(shortest(bounded(mfcPV * mfcToDisp())));
    for (const QString &name : std::as_const(busNames))
        telso->sendEvent(name, text);
}

void aMFC::noticedNewSettingValue(const TMsg &msg)
{
    if (isDevice(msg.from) && !msg.paramList.isEmpty()) {
        takeSetValueReport(msg, false);
        newSettingValue(msg);
    }
}

void aMFC::newSettingValue(const TMsg &msg)
{
    if (!msg.paramList.isEmpty())
        setNowSetPoint(toDecimal(msg.paramList.first()));
    const bool on = mfcSV != 0;
    if (on != stat) {
        stat = on;
        emit newStat();
        changeStatDisp();
    }
}

void aMFC::newFromStat()
{
    // The gases flowing in changed, and with them the conversion factor.
    if (settingSV > 0)
        updateSetPoint();
}

void aMFC::setFloating(double val)
{
    mfcPV = finiteOrZero(val);
    Floating->setText(displayText(bounded(mfcPV * mfcToDisp())));
    shownValue = toDecimal(Floating->text());
    shownText = shortest(shownValue);
    emit newValue();
    chkFlow();
}

void aMFC::setNowSetPoint(double val)
{
    mfcSV = finiteOrZero(val);
    NowSetPoint->setText(displayText(bounded(mfcSV * mfcToDisp())));
    emit newValue();
    flowNormal = true;
    checkHeld = true;
    checkTimer->start();
}

void aMFC::timeToChkFlow()
{
    checkHeld = false;
    chkFlow();
}

void aMFC::chkFlow()
{
    if (checkHeld)
        return;
    bool normal;
    if (stat)
        normal = std::fabs((mfcPV - mfcSV) / mfcSV) < 0.1;
    else
        // A closed controller must not let gas through: hold the flow itself
        // below the limit, the set value being 0 here anyway.
        normal = std::fabs(mfcPV) < 1.0;
    setFlowAlarm(!normal);
    if (normal == flowNormal)
        return;
    if (telso)
        telso->sendEvent(nodeName,
                         QStringLiteral("%1 %2 %3")
                             .arg(normal ? QStringLiteral("_FlowIsNormal") : QStringLiteral("_FlowIsAbnormal"),
                                  shortest(mfcSV), shortest(mfcPV)));
    flowNormal = normal;
}

bool aMFC::sendToDevice(const QString &text)
{
    return telso && telso->sendCommand(nodeName, deviceAddress(), text);
}
