#pragma once

#include "ui_gview.h"

#include <QFrame>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>


// The diagram widget: it paints nothing itself and hands its painter and
// mouse events to whoever draws the plant.
class GView : public QFrame, private Ui_GView
{
    Q_OBJECT

public:
    explicit GView(QWidget *parent = nullptr);

    // Small enough for a 1080-line screen at twice the scale, large enough
    // that the plant stays in sight.
    QSize minimumSizeHint() const override { return QSize(120, 80); }

signals:
    void draw(QPainter *painter);
    void mouseMoved(QMouseEvent *event);
    void mousePressed(QMouseEvent *event);
    void mouseReleased(QMouseEvent *event);
    void mouseDoubleClicked(QMouseEvent *event);
    void wheelMoved(QWheelEvent *event);
    // A tooltip is asked for at the event's position; unanswered, none shows.
    void toolTipAsked(QHelpEvent *event);

protected slots:
    void paintEvent(QPaintEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;

protected:
    bool event(QEvent *event) override;

private:
    Q_DISABLE_COPY(GView)
};
