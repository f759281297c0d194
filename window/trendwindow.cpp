#include "window/trendwindow.h"

#include "config/numbers.h"
#include "window/trendcsv.h"
#include "window/trendmodel.h"

#include <QDateTime>
#include <QFile>
#include <QFileDialog>
#include <QHash>
#include <QKeyEvent>
#include <QSaveFile>

#include <algorithm>

namespace {

constexpr qint64 minute = 60000;
constexpr qint64 hour = 60 * minute;
constexpr qint64 shortestSpan = 1000;
constexpr qint64 longestSpan = 31 * 24 * hour;

QColor curveColor(int slot)
{
    // Golden-angle steps keep neighbouring curves apart in hue.
    return QColor::fromHsv(int(slot * 137.508) % 360, 220, 210 - (slot % 3) * 45);
}

QIcon swatch(const QColor &color)
{
    QPixmap pixmap(12, 12);
    pixmap.fill(color);
    return QIcon(pixmap);
}

} // namespace

TrendWindow::TrendWindow(TrendModel *trendModel, std::function<qint64()> liveClock, QWidget *parent)
    : QWidget(parent, Qt::Window), model(trendModel), clock(std::move(liveClock)), cursorMs(TrendPlot::noCursor)
{
    setupUi(this);
    askSavePath = [this](const QString &title, const QString &name, const QString &filter) {
        return QFileDialog::getSaveFileName(this, title, name, filter);
    };
    FlowPlot->setSource(model, TrendPlot::Values);
    ValvePlot->setSource(model, TrendPlot::Lanes);
    MainSplitter->setStretchFactor(0, 4);
    MainSplitter->setStretchFactor(1, 1);
    CurveList->setColumnWidth(0, 160);
    for (const QString &name : {tr("Flows"), tr("Set values"), tr("Valves")}) {
        auto *item = new QTreeWidgetItem(CurveList, {name});
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable | Qt::ItemIsAutoTristate);
        item->setCheckState(0, Qt::Checked);
        item->setExpanded(true);
        groups << item;
    }
    LiveButton->setVisible(bool(clock));
    LiveButton->setChecked(bool(clock));
    // Without a panel there is nothing to follow: the set values are the
    // panel's own and never written to a file.
    groups.at(TrendSeries::SetPoint)->setHidden(!clock);

    connectButtons();
    connect(CurveList, &QTreeWidget::itemChanged, this, [this] { relistTimer.start(); });

    connectPlots();

    relistTimer.setSingleShot(true);
    relistTimer.setInterval(0);
    connect(&relistTimer, &QTimer::timeout, this, &TrendWindow::relist);
    liveTimer.setInterval(1000);
    connect(&liveTimer, &QTimer::timeout, this, &TrendWindow::tick);

    addCurves();
    if (clock)
        showSpan(10 * minute);
    else
        showAll();
}

void TrendWindow::connectButtons()
{
    connect(Preset10m, &QToolButton::clicked, this, [this] { showSpan(10 * minute); });
    connect(Preset1h, &QToolButton::clicked, this, [this] { showSpan(hour); });
    connect(Preset8h, &QToolButton::clicked, this, [this] { showSpan(8 * hour); });
    connect(Preset24h, &QToolButton::clicked, this, [this] { showSpan(24 * hour); });
    connect(LiveButton, &QToolButton::toggled, this, [this](bool on) {
        if (on)
            showSpan(to - from);
    });
    connect(OpenButton, &QToolButton::clicked, this, [this] {
        openFiles(QFileDialog::getOpenFileNames(this, tr("Open record files"), QString(),
                                                tr("Record files (*-????????.log);;All files (*)")));
    });
    const auto exportTo = [this](const QString &title, const QString &name, const QString &filter,
                                 bool (TrendWindow::*write)(const QString &)) {
        const QString path = askSavePath(title, name, filter);
        if (!path.isEmpty() && !(this->*write)(path))
            ReportLabel->setText(tr("Cannot write %1").arg(path));
    };
    connect(PngButton, &QToolButton::clicked, this, [this, exportTo] {
        exportTo(tr("Export PNG"), QStringLiteral("trends.png"), tr("PNG pictures (*.png)"), &TrendWindow::exportPng);
    });
    connect(CsvButton, &QToolButton::clicked, this, [this, exportTo] {
        exportTo(tr("Export CSV"), QStringLiteral("trends.csv"), tr("CSV files (*.csv)"), &TrendWindow::exportCsv);
    });
}

// Both plots follow the model; their zooms, pans and cursors move the window.
void TrendWindow::connectPlots()
{
    for (TrendPlot *plot : {FlowPlot, ValvePlot}) {
        connect(plot, &TrendPlot::zoomAt, this, &TrendWindow::zoomAt);
        connect(plot, &TrendPlot::panBy, this, &TrendWindow::panBy);
        connect(plot, &TrendPlot::cursorAt, this, &TrendWindow::setCursorTime);
        connect(plot, &TrendPlot::rendered, this, &TrendWindow::checkIdle);
        // One time axis for both: the plot with the narrower labels is padded.
        connect(plot, &TrendPlot::plotAreaChanged, this, [this] {
            const qreal flow = FlowPlot->naturalLeft();
            const qreal valve = ValvePlot->naturalLeft();
            FlowPlot->setLeftPad(std::max(flow, valve) - flow);
            ValvePlot->setLeftPad(std::max(flow, valve) - valve);
        });
    }
    connect(model, &TrendModel::curvesAdded, this, &TrendWindow::addCurves);
    connect(model, &TrendModel::dataChanged, this, [this] {
        dirty = true;
        // A live panel changes many times a second: the timer draws.
        if (!clock)
            redraw();
    });
    connect(model, &TrendModel::alarmsChanged, this, [this] { dirty = true; });
    connect(model, &TrendModel::recordRead, this, &TrendWindow::recordRead);
    connect(model, &TrendModel::loadingFinished, this, [this] {
        if (!clock)
            showAll();
        checkIdle();
    });
}

qint64 TrendWindow::present() const
{
    if (clock)
        return clock();
    qint64 first = 0;
    qint64 last = 0;
    return model->timeSpan(&first, &last) ? last : to;
}

void TrendWindow::setRange(qint64 first, qint64 last)
{
    from = first;
    to = std::max(last, first + shortestSpan);
    redraw();
}

void TrendWindow::showSpan(qint64 span)
{
    span = std::clamp(span, shortestSpan, longestSpan);
    const qint64 end = isFollowing() || !clock ? present() : to;
    setRange(end - span, end);
}

void TrendWindow::showAll()
{
    qint64 first = 0;
    qint64 last = 0;
    if (!model->timeSpan(&first, &last)) {
        const qint64 end = present();
        setRange(end - 10 * minute, end);
        return;
    }
    if (clock)
        last = std::max(last, present());
    const qint64 margin = std::max<qint64>((last - first) / 50, 1000);
    setRange(first - margin, last + margin);
}

void TrendWindow::setFollowing(bool follow)
{
    if (clock)
        LiveButton->setChecked(follow);
}

void TrendWindow::zoomAt(qint64 ms, double factor)
{
    setFollowing(false);
    const double span = std::clamp(double(to - from) * factor, double(shortestSpan), double(longestSpan));
    const double share = to > from ? double(ms - from) / double(to - from) : 0.5;
    const qint64 first = ms - qint64(span * share);
    setRange(first, first + qint64(span));
}

void TrendWindow::panBy(qint64 ms)
{
    setFollowing(false);
    setRange(from + ms, to + ms);
}

void TrendWindow::setCursorTime(qint64 ms)
{
    cursorMs = ms;
    FlowPlot->setCursorTime(ms);
    ValvePlot->setCursorTime(ms);
    updateReadout();
}

void TrendWindow::redraw()
{
    dirty = false;
    const qint64 now = present();
    FlowPlot->setRange(from, to, now);
    ValvePlot->setRange(from, to, now);
}

void TrendWindow::tick()
{
    // Nothing moves by a pixel sooner than a pixel's time: a long range is
    // drawn again less often.
    const int width = std::max(1, int(FlowPlot->plotRect().width()));
    liveTimer.setInterval(int(std::clamp<qint64>((to - from) / width, 1000, 60000)));
    if (isFollowing())
        showSpan(to - from);
    else if (dirty)
        redraw();
    if (cursorMs != TrendPlot::noCursor)
        updateReadout();
}

QTreeWidgetItem *TrendWindow::group(int kind)
{
    return groups.at(kind);
}

QString TrendWindow::curveName(qsizetype curve) const
{
    const TrendSeries &s = model->at(curve);
    QString name = s.label.trimmed().isEmpty() ? tr("(no name)") : s.label;
    if (s.occurrence > 0)
        name += QStringLiteral(" (%1)").arg(s.occurrence + 1);
    return name;
}

void TrendWindow::addCurves()
{
    const QSignalBlocker blocker(CurveList);
    for (qsizetype i = items.size(); i < model->count(); ++i) {
        const TrendSeries &s = model->at(i);
        // An MFC's flow and set value share a colour.
        const QString key = (s.kind == TrendSeries::Valve ? QStringLiteral("v") : QStringLiteral("m")) + s.label +
                            QLatin1Char('\t') + QString::number(s.occurrence);
        const int slot = colorSlots.value(key, int(colorSlots.size()));
        colorSlots.insert(key, slot);
        // A new curve is shown unless its whole group is not.
        const bool shown = group(s.kind)->childCount() == 0 || group(s.kind)->checkState(0) != Qt::Unchecked;
        auto *item = new QTreeWidgetItem(group(s.kind), {curveName(i)});
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(0, shown ? Qt::Checked : Qt::Unchecked);
        item->setData(0, Qt::UserRole, QVariant::fromValue(i));
        item->setIcon(0, swatch(curveColor(slot)));
        item->setData(0, Qt::DecorationRole + 1000, curveColor(slot));
        items << item;
    }
    relist();
}

void TrendWindow::relist()
{
    QList<TrendPlot::Curve> flows;
    QList<TrendPlot::Curve> valves;
    for (QTreeWidgetItem *g : std::as_const(groups)) {
        for (int k = 0; k < g->childCount(); ++k) {
            const QTreeWidgetItem *item = g->child(k);
            if (item->checkState(0) != Qt::Checked || g->isHidden())
                continue;
            const qsizetype i = item->data(0, Qt::UserRole).value<qsizetype>();
            const TrendSeries &s = model->at(i);
            TrendPlot::Curve c{i, item->data(0, Qt::DecorationRole + 1000).value<QColor>(),
                               s.kind == TrendSeries::SetPoint, item->text(0)};
            (s.kind == TrendSeries::Valve ? valves : flows) << c;
        }
    }
    FlowPlot->setCurves(flows);
    ValvePlot->setCurves(valves);
}

void TrendWindow::setCurveShown(qsizetype curve, bool shown)
{
    items.at(curve)->setCheckState(0, shown ? Qt::Checked : Qt::Unchecked);
    relist();
}

QString TrendWindow::readout(qsizetype curve) const
{
    return items.at(curve)->text(1);
}

void TrendWindow::updateReadout()
{
    if (cursorMs == TrendPlot::noCursor) {
        CursorLabel->clear();
        return;
    }
    CursorLabel->setText(
        tr("Cursor: %1")
            .arg(QDateTime::fromMSecsSinceEpoch(cursorMs).toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz"))));
    const qint64 now = present();
    for (qsizetype i = 0; i < items.size(); ++i) {
        const TrendSeries &s = model->at(i);
        double v = 0;
        QString text = QStringLiteral("-");
        if ((!s.live || cursorMs <= now) && s.valueAt(cursorMs, &v))
            text = s.kind == TrendSeries::Valve ? (v != 0 ? tr("open") : tr("closed")) : shortest(v);
        items.at(i)->setText(1, text);
    }
}

bool TrendWindow::isBusy() const
{
    return model->isLoading() || FlowPlot->isRendering() || ValvePlot->isRendering();
}

void TrendWindow::checkIdle()
{
    if (!isBusy())
        emit idle();
}

void TrendWindow::keyPressEvent(QKeyEvent *event)
{
    const qint64 span = to - from;
    const qint64 centre = from + span / 2;
    switch (event->key()) {
    case Qt::Key_Left:
        panBy(-span / 10);
        break;
    case Qt::Key_Right:
        panBy(span / 10);
        break;
    case Qt::Key_Plus:
    case Qt::Key_Equal:
    case Qt::Key_Up:
    case Qt::Key_Minus:
    case Qt::Key_Down: {
        const double factor = event->key() == Qt::Key_Minus || event->key() == Qt::Key_Down ? 2.0 : 0.5;
        // While live, the keys keep the present in view.
        if (isFollowing())
            showSpan(qint64(double(span) * factor));
        else
            zoomAt(cursorMs == TrendPlot::noCursor ? centre : cursorMs, factor);
        break;
    }
    case Qt::Key_Home: {
        qint64 first = 0;
        qint64 last = 0;
        if (model->timeSpan(&first, &last)) {
            setFollowing(false);
            setRange(first, first + span);
        }
        break;
    }
    case Qt::Key_End:
        if (clock)
            setFollowing(true);
        else
            setRange(present() - span, present());
        break;
    default:
        QWidget::keyPressEvent(event);
    }
}

void TrendWindow::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (clock) {
        liveTimer.start();
        tick();
    }
}

void TrendWindow::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    liveTimer.stop();
}
