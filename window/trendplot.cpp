#include "window/trendplot.h"

#include "window/trendlayer.h"
#include "window/trendmodel.h"

#include <QCategoryAxis>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QMouseEvent>
#include <QValueAxis>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace {

QColor shadeColor(AlarmInterval::Severity severity)
{
    switch (severity) {
    case AlarmInterval::Minor:
        return QColor(255, 210, 0, 70);
    case AlarmInterval::Invalid:
        return QColor(220, 0, 220, 60);
    case AlarmInterval::Major:
        break;
    }
    return QColor(230, 0, 0, 60);
}

} // namespace

TrendPlot::TrendPlot(QWidget *parent) : QChartView(parent)
{
    chart = new QChart;
    chart->legend()->hide();
    chart->setBackgroundRoundness(0);
    setChart(chart);
    setRenderHint(QPainter::Antialiasing, false);

    timeAxis = new QDateTimeAxis;
    timeAxis->setTickCount(7);
    chart->addAxis(timeAxis, Qt::AlignBottom);
    layer = new TrendLayer(chart);
    chart->setMargins(QMargins(0, 4, 4, 0));
    connect(chart, &QChart::plotAreaChanged, this, &TrendPlot::areaChanged);
    pool.setMaxThreadCount(1);
    setMouseTracking(true);
}

TrendPlot::~TrendPlot()
{
    pool.waitForDone();
}

void TrendPlot::setSource(const TrendModel *source, Mode m)
{
    model = source;
    mode = m;
    if (mode == Values) {
        valueAxis = new QValueAxis;
        valueAxis->setLabelFormat(QStringLiteral("%g"));
        valueAxis->setTickCount(6);
        chart->addAxis(valueAxis, Qt::AlignLeft);
    } else {
        laneAxis = new QCategoryAxis;
        laneAxis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionCenter);
        laneAxis->setRange(0, 1);
        chart->addAxis(laneAxis, Qt::AlignLeft);
    }
}

void TrendPlot::setCurves(const QList<Curve> &shown)
{
    curves = shown;
    lanesChanged = true;
    refresh();
}

void TrendPlot::setRange(qint64 first, qint64 last, qint64 present)
{
    from = first;
    to = std::max(last, first + 1);
    now = present;
    const qint64 span = to - from;
    const QString format = span <= 2 * 3600000LL    ? QStringLiteral("hh:mm:ss")
                           : span <= 48 * 3600000LL ? QStringLiteral("hh:mm")
                                                    : QStringLiteral("MM/dd hh:mm");
    if (timeAxis->format() != format)
        timeAxis->setFormat(format);
    timeAxis->setRange(QDateTime::fromMSecsSinceEpoch(from), QDateTime::fromMSecsSinceEpoch(to));
    setCursorTime(cursorMs);
    refresh();
}

void TrendPlot::setCursorTime(qint64 ms)
{
    cursorMs = ms;
    if (ms == noCursor) {
        layer->setCursorX(std::nan(""));
        return;
    }
    const double width = chart->plotArea().width();
    const double x = (double(ms) - double(from)) * width / double(to - from);
    layer->setCursorX(x < 0 || x > width ? std::nan("") : x);
}

QRectF TrendPlot::plotRect() const
{
    return mapFromScene(chart->mapToScene(chart->plotArea())).boundingRect();
}

qint64 TrendPlot::timeAtX(double x) const
{
    const QRectF area = plotRect();
    return from + qint64(std::llround((x - area.left()) * double(to - from) / std::max(1.0, area.width())));
}

void TrendPlot::refresh()
{
    if (!model)
        return;
    if (busy) {
        pending = true;
        return;
    }
    busy = true;
    pending = false;
    if (mode == Lanes && lanesChanged)
        setLaneLabels();
    const TrendPicture picture = takePicture();
    pool.start([this, picture] {
        const TrendImage drawn = renderTrendPicture(picture);
        // Queued to this plot, whose destructor waits for the drawing.
        QMetaObject::invokeMethod(
            this, [this, drawn] { showPicture(drawn); }, Qt::QueuedConnection);
    });
}

void TrendPlot::showPicture(const TrendImage &drawn)
{
    // The chart lays its axis out again on every change: only on changes.
    if (mode == Values && (valueAxis->min() != drawn.low || valueAxis->max() != drawn.high)) {
        valueAxis->setRange(drawn.low, drawn.high);
        valueAxis->setTickCount(drawn.ticks);
    }
    layer->setPicture(drawn.image);
    busy = false;
    if (pending)
        refresh();
    else
        emit rendered();
}

TrendPicture TrendPlot::takePicture() const
{
    TrendPicture picture;
    picture.mode = mode == Values ? TrendPicture::Values : TrendPicture::Lanes;
    picture.from = from;
    picture.to = to;
    const QRectF area = chart->plotArea();
    picture.size = area.size().toSize();
    picture.devicePixelRatio = devicePixelRatioF();
    for (const Curve &c : std::as_const(curves)) {
        const TrendSeries &s = model->at(c.index);
        picture.curves.append({s, s.live ? std::max(now, s.endMs) : s.endMs, c.color, c.dashed});
    }
    const double perMs = double(picture.size.width()) / double(to - from);
    for (const AlarmInterval &a : model->alarms()) {
        const qint64 end = a.active() ? std::max(now, a.fromMs) : a.toMs;
        if (end < from || a.fromMs > to)
            continue;
        const int x0 = int(std::floor(double(std::max(a.fromMs, from) - from) * perMs));
        const int x1 = int(std::ceil(double(std::min(end, to) - from) * perMs));
        picture.shades.append({x0, x1, shadeColor(a.severity)});
    }
    return picture;
}

void TrendPlot::setLaneLabels()
{
    lanesChanged = false;
    const QStringList old = laneAxis->categoriesLabels();
    for (const QString &label : old)
        laneAxis->remove(label);
    const qsizetype n = curves.size();
    laneAxis->setRange(0, std::max<qsizetype>(1, n));
    // Labels only where each lane has room for one.
    if (n == 0 || double(n) * fontMetrics().height() > chart->plotArea().height())
        return;
    QStringList used;
    for (qsizetype k = 0; k < n; ++k) {
        // Lanes are counted from the bottom, curves listed from the top;
        // the axis wants every label once.
        QString label = curves.at(n - 1 - k).name;
        while (used.contains(label))
            label += QLatin1Char(' ');
        used << label;
        laneAxis->append(label, double(k + 1));
    }
}

void TrendPlot::areaChanged(const QRectF &area)
{
    layer->setArea(area);
    lanesChanged = true;
    setCursorTime(cursorMs);
    refresh();
    emit plotAreaChanged();
}

qreal TrendPlot::naturalLeft() const
{
    return chart->plotArea().left() - chart->margins().left();
}

void TrendPlot::setLeftPad(qreal pad)
{
    // Rounded, not cut: the two plot areas then start within half a pixel.
    const int left = qRound(pad);
    QMargins margins = chart->margins();
    if (margins.left() == left)
        return;
    margins.setLeft(left);
    chart->setMargins(margins);
}

void TrendPlot::wheelEvent(QWheelEvent *event)
{
    const int delta = event->angleDelta().y();
    if (delta != 0)
        emit zoomAt(timeAtX(event->position().x()), std::pow(0.8, delta / 120.0));
    event->accept();
}

void TrendPlot::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        dragX = event->position().x();
    event->accept();
}

void TrendPlot::mouseMoveEvent(QMouseEvent *event)
{
    const double x = event->position().x();
    if ((event->buttons() & Qt::LeftButton) && dragX >= 0) {
        const QRectF area = plotRect();
        const qint64 ms = qint64(std::llround((dragX - x) * double(to - from) / std::max(1.0, area.width())));
        dragX = x;
        if (ms != 0)
            emit panBy(ms);
    } else if (plotRect().contains(event->position())) {
        emit cursorAt(timeAtX(x));
    }
    event->accept();
}

void TrendPlot::mouseReleaseEvent(QMouseEvent *event)
{
    dragX = -1;
    event->accept();
}

void TrendPlot::keyPressEvent(QKeyEvent *event)
{
    // The window zooms and pans; the view must not scroll its scene.
    event->ignore();
}
