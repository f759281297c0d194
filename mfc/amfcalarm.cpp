// The flow alarm on the MFC's own panel: the measured flow and the frame in
// red, a warning sign before the name, and a tooltip that says what and
// since when. Without the alarm the panel is exactly as it always is.
#include "mfc/amfc.h"

namespace {

const QString floatingStyle = QStringLiteral("background-color: rgb(255, 255, 220);");
const QString floatingAlarmStyle =
    QStringLiteral("background-color: rgb(220, 0, 0); color: rgb(255, 255, 255); font-weight: bold;");
// Only the panel's own frame: its fields keep their sheets.
const QString frameAlarmStyle = QStringLiteral(".aMFC { border: 2px solid rgb(220, 0, 0); }");

} // namespace

QString aMFC::flowAlarmText() const
{
    return tr("Flow abnormal: measured %1 against set point %2")
        .arg(Floating->text().trimmed(), NowSetPoint->text().trimmed());
}

void aMFC::setFlowAlarm(bool on)
{
    if (on == flowAlarm)
        return;
    flowAlarm = on;
    flowSince = on ? QDateTime::currentDateTime() : QDateTime();
    showFlowAlarm();
    emit flowAlarmChanged(on);
}

void aMFC::showFlowAlarm()
{
    const QString tip = flowAlarm
                            ? tr("%1 (since %2)").arg(flowAlarmText(), flowSince.toString(QStringLiteral("HH:mm:ss")))
                            : QString();
    restyle(Floating, flowAlarm ? floatingAlarmStyle : floatingStyle);
    restyle(this, flowAlarm ? frameAlarmStyle : QString());
    DispName->setText(flowAlarm ? QStringLiteral("\u26A0 ") + label : label);
    for (QWidget *w : {static_cast<QWidget *>(Floating), static_cast<QWidget *>(DispName)})
        w->setToolTip(tip);
}
