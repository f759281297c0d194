#include "diagram/gview.h"

#include <QPainter>

GView::GView(QWidget *parent)
    : QFrame(parent)
{
    setupUi(this);
    setMouseTracking(true);
}

void GView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    emit draw(&painter);
}

void GView::mouseMoveEvent(QMouseEvent *event)
{
    emit mouseMoved(event);
}

void GView::mousePressEvent(QMouseEvent *event)
{
    emit mousePressed(event);
}

void GView::mouseReleaseEvent(QMouseEvent *event)
{
    emit mouseReleased(event);
}

void GView::mouseDoubleClickEvent(QMouseEvent *event)
{
    emit mouseDoubleClicked(event);
}

void GView::wheelEvent(QWheelEvent *event)
{
    emit wheelMoved(event);
}

bool GView::event(QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        emit toolTipAsked(static_cast<QHelpEvent *>(event));
        return true;
    }
    return QFrame::event(event);
}
