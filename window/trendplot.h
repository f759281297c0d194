#pragma once

#include "window/trendrenderer.h"

#include <QChartView>
#include <QColor>
#include <QList>
#include <QThreadPool>

#include <limits>

class QCategoryAxis;
class QDateTimeAxis;
class QValueAxis;
class TrendLayer;
class TrendModel;

// One chart of the trends: flows against a value axis, or valves as step
// lines in lanes of their own, on a time axis. Axes and grid are the
// chart's; the curves are decimated to the plot's pixel columns and drawn
// as one picture on a worker thread, so long ranges stay responsive. Mouse
// wheel and drag ask for zoom and pan; the window decides the range.
class TrendPlot : public QChartView
{
    Q_OBJECT

public:
    enum Mode { Values, Lanes };
    struct Curve
    {
        qsizetype index = 0; // in the model
        QColor color;
        bool dashed = false;
        QString name;
    };
    static constexpr qint64 noCursor = std::numeric_limits<qint64>::min();

    explicit TrendPlot(QWidget *parent = nullptr);
    ~TrendPlot() override;

    void setSource(const TrendModel *model, Mode mode);
    void setCurves(const QList<Curve> &curves);
    // The range shown; live curves are known up to now.
    void setRange(qint64 from, qint64 to, qint64 now);
    void setCursorTime(qint64 ms);
    // Where the curves are drawn, in the view's coordinates.
    QRectF plotRect() const;
    qint64 timeAtX(double x) const;
    // Takes the model's data again; the picture follows when drawn.
    void refresh();
    bool isRendering() const { return busy || pending; }
    // Where the plot area would start without padding; the window pads the
    // plots so that their time axes line up.
    qreal naturalLeft() const;
    void setLeftPad(qreal pad);

signals:
    void zoomAt(qint64 ms, double factor);
    void panBy(qint64 ms);
    void cursorAt(qint64 ms);
    void rendered();
    void plotAreaChanged();

protected:
    void wheelEvent(QWheelEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    Q_DISABLE_COPY(TrendPlot)

    TrendPicture takePicture() const;
    void areaChanged(const QRectF &area);
    void setLaneLabels();
    void showPicture(const TrendImage &drawn);

    QChart *chart = nullptr;
    QDateTimeAxis *timeAxis = nullptr;
    QValueAxis *valueAxis = nullptr;
    QCategoryAxis *laneAxis = nullptr;
    TrendLayer *layer = nullptr;
    const TrendModel *model = nullptr;
    Mode mode = Values;
    QList<Curve> curves;
    qint64 from = 0;
    qint64 to = 1;
    qint64 now = 0;
    qint64 cursorMs = noCursor;
    bool lanesChanged = true;
    // One picture in the making at a time; a refresh meanwhile waits for it.
    QThreadPool pool;
    bool busy = false;
    bool pending = false;
    double dragX = -1;
};
