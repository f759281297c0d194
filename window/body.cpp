#include "window/body.h"

#include "bus/telso.h"
#include "config/config.h"
#include "config/numbers.h"
#include "diagram/gview.h"
#include "mfc/amfc.h"
#include "nodes/anode.h"
#include "valves/avalve.h"
#include "valves/condterm.h"
#include "window/trendwindow.h"

#include <QDebug>
#include <QGridLayout>
#include <QLabel>
#include <QMessageBox>

#include <cstdlib>

namespace {

// Panel rows and columns come from the configuration; a value far outside
// any sensible layout would make the grid allocate without end.
constexpr int maxGridIndex = 255;

int gridIndex(const QString &text)
{
    const int value = toInt32(text);
    if (value < 0 || value > maxGridIndex) {
        qDebug().noquote() << QStringLiteral("Grid position %1 out of range 0..%2, 0 used").arg(text).arg(maxGridIndex);
        return 0;
    }
    return value;
}

} // namespace

Body::Body()
    : QMainWindow(nullptr)
{
    setupUi(this);

    bus = new Telso(config.value(QStringLiteral("TELSO_IP"), QStringLiteral("localhost")),
                    config.value(QStringLiteral("TELSO_PORT"), QStringLiteral("6057")),
                    config.value(QStringLiteral("KEY_FILE_NAME"), QStringLiteral("Kestrune")),
                    config.value(QStringLiteral("NAME_ON_TELSO"), QStringLiteral("Kestrune")));
    connect(bus, &Telso::askStat, this, &Body::askStat);

    panelGrid = new QGridLayout(CenterW);
    valveGrid = new QGridLayout;
    mfcGrid = new QGridLayout;
    display = new GView;
    display->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Expanding);

    panelGrid->addLayout(valveGrid, gridIndex(config.value(QStringLiteral("VALVE_PANEL"), QStringLiteral("2"))), 0);
    panelGrid->addWidget(display, gridIndex(config.value(QStringLiteral("DISP_PANEL"), QStringLiteral("1"))), 0);
    panelGrid->addLayout(mfcGrid, gridIndex(config.value(QStringLiteral("MFC_PANEL"), QStringLiteral("0"))), 0);

    exclusiveMsg = new QMessageBox(QMessageBox::Critical, tr("Exclusive Valves"),
                                   tr("To open the exclusively controlled valves, change Settings."));
    exclusiveMsg->setModal(false);

    setupDiagram();

    makeValves();
    setExclusiveGroups();
    setConditionsToOpen();
    setConditionsToClose();
    makeMfcs();
    makeNodes();
    makeConnections();
    setTimes();
    setBusChannels();

    for (aNode *node : std::as_const(nodes)) {
        connect(node, &aNode::newStat, display, qOverload<>(&QWidget::update));
        connect(node, &aNode::commandNotSent, this, &Body::commandNotSent);
    }

    record();

    // The link's state stays in view; passing messages take the rest of the bar.
    linkLabel = new QLabel;
    statusbar->addPermanentWidget(linkLabel);
    connect(bus, &Telso::linkChanged, this, &Body::showLinkState);
    bus->setReconnectDelay(reconnectDelay(config.value(QStringLiteral("TELSO_RECONNECT"), QStringLiteral("1"))));
    showLinkState();
    bus->connectToServer();

    connect(display, &GView::draw, this, &Body::draw);
    connect(display, &GView::mouseDoubleClicked, this, &Body::doubleClickedInDisplay);
    connect(StopAll, &QPushButton::clicked, this, &Body::stopAll);
    connect(actionControllTimeToOpenClose, &QAction::triggered, this, &Body::controllTimeToOpenClose);
    setupTrends();

    show();
}

Body::~Body()
{
    // The trend window shows the trend model, which would go first.
    delete trendView;
    // Valves and MFCs go with their panels; the rest has no parent. The
    // window lives as long as the process, so this only tidies up the end.
    for (aNode *node : std::as_const(nodes)) {
        node->condToOpen.clear();
        node->condToClose.clear();
    }
    qDeleteAll(condTerms);
    for (aNode *node : std::as_const(nodes)) {
        if (node->nodeKind == aNode::PlainNode)
            delete node;
    }
    delete exclusiveMsg;
    // No new attempt in the moment before the client goes.
    bus->setReconnectDelay(0);
    bus->deleteLater();
}

aNode *Body::findNode(int number, int type) const
{
    for (aNode *node : nodes) {
        if (node->nodeKind == type && toInt32(node->nodeName) == number)
            return node;
    }
    return nullptr;
}

void Body::stopAll()
{
    if (!bus->isLoggedIn()) {
        commandNotSent();
        return;
    }
    for (aNode *node : std::as_const(nodes)) {
        if (node->nodeKind == aNode::Valve)
            static_cast<aValve *>(node)->vClose();
        else if (node->nodeKind == aNode::MFC)
            static_cast<aMFC *>(node)->setSetPointText(QStringLiteral("0"));
    }
}

void Body::askStat(const TMsg &msg)
{
    if (!msg.toSub.isEmpty())
        return;
    QStringList texts;
    for (aNode *node : std::as_const(nodes)) {
        if (node->nodeKind == aNode::Valve)
            texts << node->statusText();
    }
    for (aNode *node : std::as_const(nodes)) {
        if (node->nodeKind == aNode::MFC)
            texts << node->statusText();
    }
    bus->reply(msg, QStringLiteral("@%1 %2").arg(msg.cmd, texts.join(QLatin1Char(' '))));
}

void Body::vCtrlMsg()
{
    exclusiveMsg->show();
}

void Body::controllTimeToOpenClose()
{
    qDebug() << "aaa";
}

void Body::Exit()
{
    std::exit(0);
}
