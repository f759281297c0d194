#include "window/body.h"

#include "bus/telso.h"
#include "config/config.h"
#include "config/numbers.h"
#include "diagram/gview.h"
#include "mfc/amfc.h"
#include "nodes/anode.h"
#include "plant/plantdescription.h"
#include "valves/avalve.h"
#include "window/alarmwindow.h"
#include "window/checkedappend.h"
#include "window/historywindow.h"
#include "window/plantbuilder.h"
#include "window/recorder.h"
#include "window/stopreport.h"
#include "window/trendwindow.h"

#include <QCoreApplication>
#include <QDebug>
#include <QGridLayout>
#include <QHash>
#include <QLabel>
#include <QMessageBox>
#include <QScreen>
#include <QStyle>

#include <algorithm>
#include <cstdlib>

namespace {

// Panel rows and columns come from the configuration; a value far outside
// any sensible layout would make the grid allocate without end.
constexpr int maxGridIndex = 255;

// DISP_WIDTH and DISP_HEIGHT: diagram units; anything but a positive
// whole number is the default.
int dimension(const QString &key)
{
    const int value = toInt32(config.value(key, QStringLiteral("100")));
    return value > 0 ? value : 100;
}

int gridIndex(const QString &text)
{
    const int value = toInt32(text);
    if (value < 0 || value > maxGridIndex) {
        qDebug().noquote() << QStringLiteral("Grid position %1 out of range 0..%2, 0 used").arg(text).arg(maxGridIndex);
        return 0;
    }
    return value;
}

// Each panel's column and the row of its grid in the window, found in one
// pass: asking the grids panel by panel would take the square of a large
// plant's panel count.
QHash<QWidget *, QPoint> panelPlaces(QGridLayout *panelGrid, std::initializer_list<QGridLayout *> grids)
{
    QHash<QWidget *, QPoint> places;
    for (QGridLayout *grid : grids) {
        int gridRow = 0, row = 0, column = 0, span = 0;
        panelGrid->getItemPosition(panelGrid->indexOf(grid), &gridRow, &span, &span, &span);
        for (int i = 0; i < grid->count(); ++i) {
            grid->getItemPosition(i, &row, &column, &span, &span);
            if (QWidget *panel = grid->itemAt(i)->widget())
                places.insert(panel, QPoint(column, gridRow));
        }
    }
    return places;
}

// Tab goes through fields in their order. Moving a field makes the toolkit
// look back along the chain for the field before it, past everything that
// takes no focus: the frames and labels of the panels whose fields have
// moved on already, a run that grows with the plant. The panels take Tab for
// the while, so that each look stops at the field's own panel; Tab visits
// the same fields in the same order.
void chainFields(const QWidgetList &fields, const QWidgetList &panels)
{
    QList<Qt::FocusPolicy> policies;
    for (QWidget *panel : panels) {
        policies << panel->focusPolicy();
        panel->setFocusPolicy(Qt::TabFocus);
    }
    for (qsizetype i = 1; i < fields.size(); ++i)
        QWidget::setTabOrder(fields[i - 1], fields[i]);
    for (qsizetype i = 0; i < panels.size(); ++i)
        panels[i]->setFocusPolicy(policies[i]);
}

} // namespace

std::function<QDateTime()> Body::clock = [] { return QDateTime::currentDateTime(); };

Body::Body()
    : QMainWindow(nullptr)
{
    setupUi(this);

    bus = new Telso(config.value(QStringLiteral("TELSO_IP"), QStringLiteral("localhost")),
                    config.value(QStringLiteral("TELSO_PORT"), QStringLiteral("6057")),
                    config.value(QStringLiteral("KEY_FILE_NAME"), QStringLiteral("Kestrune")),
                    config.value(QStringLiteral("NAME_ON_TELSO"), QStringLiteral("Kestrune")));
    connect(bus, &Telso::askStat, this, &Body::askStat);

    setupPanels();
    buildPlant();
    setupRecord();
    setupRemoteControl();
    orderTabs();
    fitLayout();
    setupLink();

    stopReport = new StopReport(this);
    connect(stopReport, &StopReport::report, this, [this](const QString &text) { statusbar->showMessage(text); });
    connect(StopAll, &QPushButton::clicked, this, &Body::stopAll);
    // Set after the form's texts: a button's setText() replaces its shortcut.
    StopAll->setShortcut(QKeySequence(Qt::Key_F12));
    connect(actionControllTimeToOpenClose, &QAction::triggered, this, &Body::controllTimeToOpenClose);
    setupTrends();
    setupAlarms();

    show();
    // Every widget asked to be polished when it was made, and show() has
    // polished the window's; what is hidden is polished when it is shown.
    // Left queued, a large plant's tens of thousands of requests would each
    // cost a turn of the event loop, and each button's a new layout pass of
    // its panel, before the link to the server is served.
    QCoreApplication::removePostedEvents(nullptr, QEvent::PolishRequest);
}

void Body::setupPanels()
{
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

    display->setDiagramSize(dimension(QStringLiteral("DISP_WIDTH")), dimension(QStringLiteral("DISP_HEIGHT")));
}

Body::~Body()
{
    // The trend window shows the trend model, which would go first.
    delete trendView;
    delete alarmView;
    delete historyView;
    // The window lives as long as the process, so this only tidies up the
    // end: the plant goes with its builder and its panels.
    plant.reset();
    delete exclusiveMsg;
    // No new attempt in the moment before the client goes.
    bus->setReconnectDelay(0);
    bus->deleteLater();
}

void Body::buildPlant()
{
    plant = std::make_unique<PlantBuilder>(PlantDescription(config), bus);
    plant->build(valveGrid, mfcGrid);
    nodes = plant->nodes();
    for (aValve *valve : plant->valves()) {
        connect(valve, &aNode::newStat, this, &Body::record);
        connect(valve, &aValve::triedToOpenExclusiveValves, this, &Body::vCtrlMsg);
    }
    for (aMFC *mfc : plant->mfcs()) {
        connect(mfc, &aMFC::newValue, this, &Body::record);
        connect(mfc, &aMFC::setPointRefused, this, &Body::showRefusal);
    }

    const int confirmMsec =
        DeviceWatch::confirmMsecFor(config.value(QStringLiteral("CONFIRM_TIMEOUT"), QStringLiteral("5")));
    const int pollMsec = DeviceWatch::pollMsecFor(config.value(QStringLiteral("DEVICE_POLL"), QStringLiteral("30")));
    display->setNodes(nodes);
    for (aNode *node : std::as_const(nodes)) {
        connect(node, &aNode::newStat, display, qOverload<>(&QWidget::update));
        // A mark is drawn, but it is no change of state: no record row.
        connect(node, &aNode::markChanged, display, qOverload<>(&QWidget::update));
        connect(node, &aNode::commandNotSent, this, &Body::commandNotSent);
        node->setWatchTimes(confirmMsec, pollMsec);
    }
}

void Body::setupRecord()
{
    // Lost record rows are counted and shown from the first row on.
    recordFile = new CheckedAppend(QStringLiteral("Record file"), this);
    recordLabel = new QLabel;
    recordLabel->setObjectName(QStringLiteral("recordRows"));
    recordLabel->hide();
    statusbar->addPermanentWidget(recordLabel);
    connect(recordFile, &CheckedAppend::failuresChanged, this, [this](int count) {
        recordLabel->setText(tr("Record rows not written: %1").arg(count));
        recordLabel->show();
    });
    recorder = std::make_unique<Recorder>(bus->name, [] { return clock(); }, recordFile);
    recorder->setColumns({plant->mfcs().cbegin(), plant->mfcs().cend()},
                         {plant->valves().cbegin(), plant->valves().cend()});
    record();
}

void Body::record()
{
    // Nothing changes before the columns are known; a row then would have none.
    if (recorder)
        recorder->record();
}

QString Body::recordFileName(const QDate &date) const
{
    return recorder->fileName(date);
}

aNode *Body::findNode(int number, int type) const
{
    return plant->findNode(number, type);
}

void Body::stopAll()
{
    logOperator(tr("Stop All"));
    if (!bus->isLoggedIn() || !bus->isAnswering()) {
        commandNotSent();
        return;
    }
    for (aNode *node : std::as_const(nodes))
        node->stop();
    stopReport->start(nodes);
}

void Body::askStat(const TMsg &msg)
{
    if (!msg.toSub.isEmpty())
        return;
    QStringList texts;
    for (const aValve *valve : plant->valves())
        texts << valve->statusText();
    for (const aMFC *mfc : plant->mfcs())
        texts << mfc->statusText();
    bus->reply(msg, QStringLiteral("@%1 %2").arg(msg.cmd, texts.join(QLatin1Char(' '))));
}

void Body::fitLayout()
{
    // Panels keep their own width and the rows keep to the left: a wide
    // window gives its room to the diagram, not to stretched fields.
    for (QGridLayout *grid : {valveGrid, mfcGrid}) {
        for (int i = 0; i < grid->count(); ++i) {
            if (QWidget *panel = grid->itemAt(i)->widget())
                panel->setMaximumWidth(panel->sizeHint().width());
        }
        grid->addItem(new QSpacerItem(0, 0, QSizePolicy::Expanding, QSizePolicy::Minimum), 0, grid->columnCount());
    }
    // The form's size may not fit a small or scaled screen: open no larger
    // than the screen leaves room for, the title bar included. The screen
    // wins over the panels' minimum too: a large plant's panels would ask for
    // a window wider than any screen, and for its backing store.
    if (const QScreen *s = screen()) {
        const QSize room = s->availableSize() - QSize(0, style()->pixelMetric(QStyle::PM_TitleBarHeight));
        resize(size().expandedTo(minimumSizeHint()).boundedTo(room));
    }
}

void Body::orderTabs()
{
    // Tab follows the panels as they read: by row of the window, then by
    // column, each panel's own fields in its order; Stop All comes last.
    struct Panel
    {
        int row;
        int column;
        QWidgetList fields;
    };
    const QHash<QWidget *, QPoint> places = panelPlaces(panelGrid, {mfcGrid, valveGrid});
    QList<Panel> panels;
    for (aNode *node : std::as_const(nodes)) {
        const auto place = places.constFind(node);
        if (place == places.cend())
            continue;
        QWidgetList fields;
        for (QWidget *w = node->nextInFocusChain(); w != node && node->isAncestorOf(w); w = w->nextInFocusChain())
            if (w->focusPolicy() & Qt::TabFocus)
                fields << w;
        panels << Panel{place->y(), place->x(), fields};
    }
    std::stable_sort(panels.begin(), panels.end(), [](const Panel &a, const Panel &b) {
        return a.row != b.row ? a.row < b.row : a.column < b.column;
    });
    QWidgetList order;
    for (const Panel &panel : std::as_const(panels))
        order += panel.fields;
    order << StopAll;
    chainFields(order, places.keys());
}

void Body::showStartupNotice(const QString &text)
{
    if (text.isEmpty())
        return;
    if (!noticeLabel) {
        noticeLabel = new QLabel;
        noticeLabel->setObjectName(QStringLiteral("startupNotice"));
        noticeLabel->setStyleSheet(QStringLiteral("color: rgb(192, 0, 0); font-weight: bold;"));
        noticeLabel->setWordWrap(true);
        // Permanent, so that passing messages never cover it.
        statusbar->insertPermanentWidget(0, noticeLabel, 1);
    }
    noticeLabel->setText(text);
    noticeLabel->setToolTip(text);
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
