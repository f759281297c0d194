// Alarms and events as the operator sees them: the sources of the latched
// alarm list, the status-bar counter, the events file, and the two windows.
#include "window/body.h"

#include "bus/remoteaccess.h"
#include "bus/telso.h"
#include "diagram/gview.h"
#include "mfc/amfc.h"
#include "valves/avalve.h"
#include "window/alarmlist.h"
#include "window/alarmwindow.h"
#include "window/checkedappend.h"
#include "window/eventhistory.h"
#include "window/historywindow.h"
#include "window/plantbuilder.h"
#include "window/stopreport.h"
#include "window/trendmodel.h"

#include <QApplication>
#include <QMenuBar>
#include <QStatusBar>
#include <QToolButton>

namespace {

// The node's label and the address of its device, as the list names a source.
QString sourceOf(const aNode *node)
{
    const QString device = node->deviceText().trimmed();
    return device.isEmpty() ? node->label : QStringLiteral("%1 (%2)").arg(node->label, device);
}

QString keyOf(const char *what, const aNode *node)
{
    return QStringLiteral("%1:%2").arg(QLatin1String(what)).arg(quintptr(node), 0, 16);
}

// Where the trends shade an alarm: one stripe per source and condition.
QString trendSource(const AlarmList::Alarm &alarm)
{
    return alarm.source + QStringLiteral(": ") + alarm.text;
}

QString localUser()
{
    const QString user = qEnvironmentVariable("USER", qEnvironmentVariable("USERNAME"));
    return user.isEmpty() ? QStringLiteral("?") : user;
}

} // namespace

void Body::setupAlarms()
{
    alarmList = new AlarmList(
        localUser(), [] { return clock(); }, this);
    historyFile = new CheckedAppend(QStringLiteral("History file"), this);
    history = new EventHistory(
        bus->name, [] { return clock(); }, historyFile, this);

    alarmCounter = new QToolButton;
    alarmCounter->setObjectName(QStringLiteral("alarmCounter"));
    alarmCounter->setAutoRaise(true);
    alarmCounter->hide();
    statusbar->addPermanentWidget(alarmCounter);
    connect(alarmCounter, &QToolButton::clicked, this, &Body::showAlarms);
    connect(alarmList, &AlarmList::countChanged, this, &Body::showAlarmCount);

    QMenu *menu = menubar->addMenu(tr("Alarms"));
    QAction *list = menu->addAction(tr("Alarm List"), this, &Body::showAlarms);
    list->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
    QAction *events = menu->addAction(tr("History"), this, &Body::showHistory);
    events->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_H));

    connect(alarmList, &AlarmList::raised, this, [this](const AlarmList::Alarm &a) {
        history->add(EventHistory::AlarmRaised, a.source, a.text);
        trendModel->openAlarm(trendSource(a), a.severity, a.raised.toMSecsSinceEpoch());
        // Attention in the taskbar; the keyboard stays where the operator is.
        QApplication::alert(this);
    });
    connect(alarmList, &AlarmList::cleared, this, [this](const AlarmList::Alarm &a) {
        history->add(EventHistory::AlarmCleared, a.source, a.text);
        trendModel->closeAlarm(trendSource(a), clock().toMSecsSinceEpoch());
    });
    connect(alarmList, &AlarmList::acknowledged, this, [this](const AlarmList::Alarm &a) {
        history->add(EventHistory::AlarmAcknowledged, a.source, tr("%1, by %2").arg(a.text, a.ackBy));
    });

    watchAlarmSources();
}

void Body::watchAlarmSources()
{
    for (aNode *node : std::as_const(nodes)) {
        watchNodeAlarms(node);
        logNodeEvents(node);
    }
    display->addDecorator([](const aNode *node) -> NodeDecoration {
        if (node->nodeKind != aNode::MFC || !static_cast<const aMFC *>(node)->flowAbnormal())
            return {};
        const auto *mfc = static_cast<const aMFC *>(node);
        return {AlarmList::colour(AlarmInterval::Major), QStringLiteral("!"),
                tr("%1 (since %2)").arg(mfc->flowAlarmText(), mfc->flowAlarmSince().toString("HH:mm:ss"))};
    });

    connect(bus, &Telso::linkChanged, this, &Body::followLink);
    followLink();

    connect(stopReport, &StopReport::finished, this, [this](const QStringList &unconfirmed) {
        if (unconfirmed.isEmpty())
            alarmList->clear(QStringLiteral("stopAll"));
        else
            alarmList->raise(QStringLiteral("stopAll"), tr("Stop All"), AlarmInterval::Major,
                             tr("Not confirmed by %1").arg(unconfirmed.join(QStringLiteral(", "))));
    });

    const auto watchWrites = [this](CheckedAppend *file, const QString &key, const QString &source) {
        const auto follow = [this, key, source](bool failing) {
            if (failing)
                alarmList->raise(key, source, AlarmInterval::Major, tr("Cannot be written: what goes to it is lost"));
            else
                alarmList->clear(key);
        };
        connect(file, &CheckedAppend::failingChanged, this, follow);
        if (file->failing())
            follow(true);
    };
    watchWrites(recordFile, QStringLiteral("recordFile"), tr("Record file"));
    watchWrites(historyFile, QStringLiteral("historyFile"), tr("History file"));

    connect(access, &RemoteAccess::refused, this,
            [this](const QString &sender, const QString &request, const QString &reason) {
                history->add(EventHistory::Refused, sender, QStringLiteral("%1: %2").arg(request, reason));
            });
    connect(display, &GView::nodeDoubleClicked, this, [this](aNode *node) {
        if (node->nodeKind == aNode::Valve)
            history->add(EventHistory::Operator, sourceOf(node),
                         node->isOn() ? tr("Double click: close") : tr("Double click: open"));
    });
}

void Body::watchNodeAlarms(aNode *node)
{
    connect(node, &aNode::markChanged, this, [this, node] {
        const QString key = keyOf("mark", node);
        const QString text = node->mark() == DeviceWatch::NoMark ? QString() : node->markText();
        // Another mark (no answer turned mismatch) is another alarm.
        if (alarmList->activeText(key) != text)
            alarmList->clear(key);
        if (!text.isEmpty())
            alarmList->raise(key, sourceOf(node), AlarmInterval::Major, text);
    });
    auto *mfc = qobject_cast<aMFC *>(node);
    if (!mfc)
        return;
    connect(mfc, &aMFC::flowAlarmChanged, this, [this, mfc](bool abnormal) {
        if (abnormal)
            alarmList->raise(keyOf("flow", mfc), sourceOf(mfc), AlarmInterval::Major, mfc->flowAlarmText());
        else
            alarmList->clear(keyOf("flow", mfc));
        display->update();
    });
}

void Body::logNodeEvents(aNode *node)
{
    const QString source = sourceOf(node);
    connect(node, &aNode::operatorAction, this,
            [this, source](const QString &text) { history->add(EventHistory::Operator, source, text); });
    connect(node, &aNode::requestCarriedOut, this,
            [this, source](const QString &sender, const QString &request, const QString &reply) {
                history->add(EventHistory::Request, sender, tr("%1 via %2: %3").arg(request, source, reply));
            });
    if (auto *valve = qobject_cast<aValve *>(node)) {
        connect(valve, &aValve::actionRefused, this,
                [this, source](const QString &text) { history->add(EventHistory::Refused, source, text); });
        connect(valve, &aValve::timedAction, this,
                [this, source](const QString &text) { history->add(EventHistory::Timed, source, text); });
        connect(valve, &aValve::triedToOpenExclusiveValves, this, [this, source] {
            history->add(EventHistory::Interlock, source, tr("Opened: its exclusive partners were closed"));
        });
    }
    if (auto *mfc = qobject_cast<aMFC *>(node))
        connect(mfc, &aMFC::setPointRefused, this,
                [this, source](const QString &text) { history->add(EventHistory::Refused, source, text); });
}

void Body::followLink()
{
    const bool up = bus->linkState() == Telso::LinkUp;
    if (up == linkWasUp)
        return;
    linkWasUp = up;
    const QString source = tr("Server link");
    if (up) {
        alarmList->clear(QStringLiteral("link"));
        history->add(EventHistory::Link, source, tr("Logged in as %1").arg(bus->name));
    } else {
        alarmList->raise(QStringLiteral("link"), source, AlarmInterval::Major, tr("Connection to the server lost"));
        history->add(EventHistory::Link, source, tr("Connection lost"));
    }
}

void Body::logOperator(const QString &text)
{
    if (history)
        history->add(EventHistory::Operator, tr("Panel"), text);
}

void Body::showAlarmCount()
{
    const QString text = alarmList->counterText();
    alarmCounter->setVisible(!text.isEmpty());
    alarmCounter->setText(text);
    const AlarmList::Severity worst = alarmList->worst();
    alarmCounter->setStyleSheet(QStringLiteral("QToolButton { background-color: %1; color: %2; font-weight: bold; }")
                                    .arg(AlarmList::colour(worst).name(), AlarmList::textColour(worst).name()));
    alarmCounter->setToolTip(tr("Open the alarm list"));
}

void Body::showAlarms()
{
    if (!alarmView)
        alarmView = new AlarmWindow(alarmList, this);
    alarmView->show();
    alarmView->raise();
    alarmView->activateWindow();
}

void Body::showHistory()
{
    if (!historyView)
        historyView = new HistoryWindow(history, this);
    historyView->show();
    historyView->raise();
    historyView->activateWindow();
}
