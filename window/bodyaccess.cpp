// Who may change the plant, as the operator sees and sets it: the local/remote
// switch in the menu, its indicator and the count of refused requests.
#include "window/body.h"

#include "config/config.h"
#include "nodes/anode.h"
#include "bus/remoteaccess.h"

#include <QLabel>
#include <QStatusBar>

void Body::setupRemoteControl()
{
    access = new RemoteAccess(
        config.entries(QStringLiteral("REMOTE_CLIENTS")),
        RemoteAccess::remoteAtStart(config.value(QStringLiteral("REMOTE_CONTROL"), QStringLiteral("ON"))), this);
    for (aNode *node : std::as_const(nodes))
        node->access = access;

    remoteLabel = new QLabel;
    refusedLabel = new QLabel;
    refusedLabel->hide(); // until there is something to count
    statusbar->addPermanentWidget(remoteLabel);
    statusbar->addPermanentWidget(refusedLabel);

    connect(actionRemoteControl, &QAction::toggled, access, &RemoteAccess::setRemoteControl);
    connect(access, &RemoteAccess::remoteControlChanged, this, &Body::showRemoteControl);
    connect(access, &RemoteAccess::refused, this, &Body::showRefusals);
    showRemoteControl();
}

void Body::showRemoteControl()
{
    actionRemoteControl->setChecked(access->remoteControl());
    remoteLabel->setText(access->remoteControl() ? tr("Remote control on") : tr("Remote control off"));
}

void Body::showRefusals()
{
    refusedLabel->setText(tr("Refused requests: %1").arg(access->refusedCount()));
    refusedLabel->show();
}
