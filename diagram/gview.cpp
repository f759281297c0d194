#include "diagram/gview.h"

#include "diagram/diagrampainter.h"
#include "nodes/anode.h"

#include <QApplication>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

#include <cmath>

namespace {

// A device that did not answer or contradicted a command.
NodeDecoration deviceMark(const aNode *node)
{
    if (node->mark() == DeviceWatch::NoMark)
        return {};
    return {QColor(255, 0, 255), QStringLiteral("?"), node->markText()};
}

} // namespace

GView::GView(QWidget *parent) : QFrame(parent)
{
    setupUi(this);
    setMouseTracking(true);
}

GView::~GView() = default;

void GView::setNodes(const QList<aNode *> &nodes)
{
    this->nodes = nodes;
    update();
}

void GView::setDiagramSize(int width, int height)
{
    dispWidth = width > 0 ? width : 100;
    dispHeight = height > 0 ? height : 100;
    update();
}

void GView::setLive(bool live)
{
    this->live = live;
    update();
}

void GView::addDecorator(const Decorator &decorator)
{
    decorators.prepend(decorator);
}

NodeDecoration GView::decorationOf(const aNode *node) const
{
    for (const Decorator &decorate : decorators) {
        NodeDecoration decoration = decorate(node);
        if (decoration.colour.isValid())
            return decoration;
    }
    return deviceMark(node);
}

QSize GView::sizeHint() const
{
    return QSize(400, 300);
}

void GView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    paint(&painter);
}

void GView::paint(QPainter *painter)
{
    const int wd = width();
    const int ht = height();
    if (wd <= 0 || ht <= 0)
        return;
    coord.setDisp(0, 0, wd, ht);
    coord.setReal(0, 0, dispWidth, dispHeight);
    painter->fillRect(0, 0, wd, ht, QColor(255, 255, 240));

    DiagramPainter diagram(painter, coord, live);
    for (aNode *node : std::as_const(nodes))
        diagram.drawNode(node, decorationOf(node));
    for (aNode *down : std::as_const(nodes)) {
        for (aNode *up : std::as_const(down->children))
            diagram.drawPipe(up, down);
    }

    if (!live) {
        QFont font = QApplication::font();
        font.setBold(true);
        font.setPixelSize(qBound(12, ht / 8, 48));
        const QFont before = painter->font();
        painter->setFont(font);
        painter->setPen(QColor(170, 0, 0));
        painter->drawText(QRect(0, 0, wd, ht), Qt::AlignCenter, tr("Disconnected"));
        painter->setFont(before);
    }
}

QList<aNode *> GView::nodesAt(const QPointF &pixel) const
{
    const double rx = coord.toRealX(std::round(pixel.x()));
    const double ry = coord.toRealY(std::round(pixel.y()));
    QList<aNode *> hit;
    for (aNode *node : std::as_const(nodes)) {
        const double x = node->x, y = node->y, w = node->w, h = node->h;
        if (x - w < rx && rx < x + w && y - h < ry && ry < y + h)
            hit << node;
    }
    return hit;
}

void GView::mouseDoubleClickEvent(QMouseEvent *event)
{
    for (aNode *node : nodesAt(event->position())) {
        emit nodeDoubleClicked(node);
        node->doubleClickAction();
    }
}

bool GView::event(QEvent *event)
{
    if (event->type() != QEvent::ToolTip)
        return QFrame::event(event);
    const auto *help = static_cast<QHelpEvent *>(event);
    QStringList texts;
    for (aNode *node : nodesAt(help->pos())) {
        const QString text = decorationOf(node).text;
        if (!text.isEmpty())
            texts << text;
    }
    if (texts.isEmpty())
        QToolTip::hideText();
    else
        QToolTip::showText(help->globalPos(), texts.join(QLatin1Char('\n')), this);
    return true;
}
