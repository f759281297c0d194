// The gas-line diagram: figures, fitted labels and pipes, and the double
// click that toggles a valve.
#include "window/body.h"

#include "bus/telso.h"
#include "config/config.h"
#include "config/numbers.h"
#include "diagram/gview.h"
#include "mfc/amfc.h"
#include "nodes/anode.h"

#include <QApplication>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

#include <cmath>

namespace {

// Pixel coordinates go to the painter as integers, truncated toward zero;
// far-off values are clamped first so the conversion stays defined.
int px(double v)
{
    if (std::isnan(v))
        return 0;
    return clampToInt(qBound(-1.0e9, v, 1.0e9));
}

// Colours of a diagram that is not live: mostly grey, lifted towards white.
QColor muted(const QColor &c)
{
    const int grey = qGray(c.rgb());
    const auto mix = [grey](int v) {
        const int toGrey = (v + 3 * grey) / 4;
        return toGrey + (255 - toGrey) * 2 / 5;
    };
    return QColor(mix(c.red()), mix(c.green()), mix(c.blue()));
}

int dimension(const QString &key)
{
    const int value = toInt32(config.value(key, QStringLiteral("100")));
    return value > 0 ? value : 100;
}

} // namespace

void Body::setupDiagram()
{
    dispWidth = dimension(QStringLiteral("DISP_WIDTH"));
    dispHeight = dimension(QStringLiteral("DISP_HEIGHT"));
    black = QColor(0, 0, 0);
    red = QColor(255, 0, 0);
    valveOpenPen = QPen(QColor(230, 210, 0), 3);
    valveClosedPen = QPen(QColor(170, 150, 0), 3);
    mfcOnPen = QPen(QColor(0, 180, 240), 3);
    mfcOffPen = QPen(QColor(0, 0, 170), 3);
    nodeFlowingPen = QPen(QColor(0, 240, 180), 3);
    nodeDryPen = QPen(QColor(0, 170, 0), 3);
    pipeGasPen = QPen(red, 5);
    pipeNoGasPen = QPen(black, 5);
    textPen = QPen(QColor(0, 0, 0), 1);
}

void Body::draw(QPainter *p)
{
    const int wd = display->width();
    const int ht = display->height();
    if (wd <= 0 || ht <= 0)
        return;
    coord.setDisp(0, 0, wd, ht);
    coord.setReal(0, 0, dispWidth, dispHeight);
    p->fillRect(0, 0, wd, ht, QColor(255, 255, 240));
    // Without the server the states drawn may no longer be the plant's.
    mutedDrawing = !bus->isLoggedIn();

    for (aNode *node : std::as_const(nodes))
        drawNode(p, node);

    QList<Segment> segments;
    for (aNode *down : std::as_const(nodes)) {
        for (aNode *up : std::as_const(down->children))
            drawPipe(p, up, down, segments);
    }

    if (mutedDrawing)
        drawDisconnected(p, wd, ht);
}

QPen Body::shown(const QPen &pen) const
{
    if (!mutedDrawing)
        return pen;
    QPen grey(pen);
    grey.setColor(muted(pen.color()));
    return grey;
}

void Body::drawDisconnected(QPainter *p, int wd, int ht)
{
    QFont font = QApplication::font();
    font.setBold(true);
    font.setPixelSize(qBound(12, ht / 8, 48));
    const QFont before = p->font();
    p->setFont(font);
    p->setPen(QColor(170, 0, 0));
    p->drawText(QRect(0, 0, wd, ht), Qt::AlignCenter, tr("Disconnected"));
    p->setFont(before);
}

// A device that did not answer or contradicted a command: a magenta frame
// around the figure and a "?" at its corner, so that it does not rest on the
// colour alone. Drawn live also while disconnected: it is a warning.
void Body::drawMark(QPainter *p, const QRect &figure)
{
    const QColor magenta(255, 0, 255);
    const QRect frame = figure.adjusted(-5, -5, 5, 5);
    p->setPen(QPen(magenta, 2));
    p->drawRect(frame);
    QFont font = QApplication::font();
    font.setBold(true);
    font.setPixelSize(14);
    const QFont before = p->font();
    p->setFont(font);
    p->drawText(QRect(frame.right() + 2, frame.top() - 16, 16, 16), Qt::AlignLeft | Qt::AlignBottom,
                QStringLiteral("?"));
    p->setFont(before);
}

void Body::drawNode(QPainter *p, aNode *n)
{
    switch (n->nodeKind) {
    case aNode::PlainNode:
        p->setPen(shown(n->isFlowing() ? nodeFlowingPen : nodeDryPen));
        break;
    case aNode::Valve:
        p->setPen(shown(n->isOn() ? valveOpenPen : valveClosedPen));
        break;
    case aNode::MFC:
        p->setPen(shown(n->isOn() ? mfcOnPen : mfcOffPen));
        break;
    default:
        p->setPen(shown(nodeDryPen));
    }

    // 64-bit so that configured extremes cannot overflow.
    const qint64 x = n->x, y = n->y, w = n->w, h = n->h;
    const int left = px(coord.toDispX(double(x - w)));
    const int right = px(coord.toDispX(double(x + w)));
    const int top = px(coord.toDispY(double(y + h)));
    const int bottom = px(coord.toDispY(double(y - h)));

    p->drawLine(left, top, right, top);
    p->drawLine(left, bottom, right, bottom);
    if (n->nodeKind == aNode::Valve) {
        p->drawLine(left, top, right, bottom);
        p->drawLine(right, top, left, bottom);
    } else {
        p->drawLine(right, top, right, bottom);
        p->drawLine(left, top, left, bottom);
    }
    if (n->mark() != DeviceWatch::NoMark)
        drawMark(p, QRect(QPoint(left, top), QPoint(right, bottom)).normalized());

    p->setPen(shown(textPen));

    QString text;
    qint64 boxLeft = 0, boxWidth = 0, boxLower = 0, boxHeight = 0;
    int flags = Qt::AlignCenter;
    switch (n->nodeKind) {
    case aNode::PlainNode:
        text = n->label;
        boxLeft = x - 2 * w;
        boxWidth = 4 * w;
        boxLower = y - h / 2;
        boxHeight = h;
        break;
    case aNode::Valve:
        text = n->gas;
        boxLeft = x + w / 2;
        boxWidth = 2 * w;
        boxLower = y - h / 2;
        boxHeight = h;
        flags = Qt::AlignLeft | Qt::AlignVCenter;
        break;
    case aNode::MFC:
        // A dummy MFC shows no panel details, and no label here either.
        if (static_cast<aMFC *>(n)->infoFrame()->isHidden())
            return;
        text = n->label;
        boxLeft = x - w;
        boxWidth = 2 * w;
        boxLower = y - h / 4;
        boxHeight = h / 2;
        break;
    default:
        return;
    }

    const QString gasText = n->nowGasText();
    if (!gasText.isEmpty())
        text += QStringLiteral(" [") + gasText + QStringLiteral("]");

    const double l = coord.toDispX(double(boxLeft));
    const double r = l + coord.toDispW(double(boxWidth));
    const double lower = coord.toDispY(double(boxLower));
    const double upper = lower + coord.toDispH(double(boxHeight));
    drawFittedText(p, QRectF(QPointF(l, upper), QPointF(r, lower)).normalized(), flags, text);
}

void Body::drawFittedText(QPainter *p, const QRectF &box, int flags, const QString &text)
{
    QFont font = QApplication::font();
    double s0 = font.pointSizeF();
    if (s0 <= 0)
        s0 = 9.0;
    const QRectF b = p->boundingRect(QRectF(0, 0, 1000, 1000), flags, text);
    const double rw = box.width() == 0 ? 1.0 : std::fabs(b.width() / box.width());
    const double rh = box.height() == 0 ? 1.0 : std::fabs(b.height() / box.height());
    double factor = std::max(rw, rh);
    if (factor == 0 || !std::isfinite(factor))
        factor = 1.0;
    font.setPointSize(px(std::max(1.0, s0 / factor)));
    p->setFont(font);
    p->drawText(box, flags, text);
    font.setPointSizeF(s0);
    p->setFont(font);
}

void Body::drawPipe(QPainter *p, aNode *up, aNode *down, QList<Segment> &segments)
{
    const double kU = up->indexOfParent(down);
    const double nU = up->parents.size();
    const double kN = down->indexOfChild(up);
    const double nN = down->children.size();

    const double startX = up->x + coord.toRealX((kU - (nU - 1) / 2.0) * 7.0);
    const double endX = down->x + coord.toRealX((kN - (nN - 1) / 2.0) * 7.0);
    const double yFrom = double(up->y) + double(up->h);
    const double yTo = double(down->y) - double(down->h);

    Segment seg{std::min(startX, endX), std::max(startX, endX), yFrom + 0.45 * (yTo - yFrom)};
    bool moved = true;
    while (moved) {
        moved = false;
        for (const Segment &other : std::as_const(segments)) {
            if (other.y == seg.y && other.x0 <= seg.x1 && seg.x0 <= other.x1) {
                // At magnitudes where 6 units vanish, raising cannot help.
                if (seg.y + 6.0 == seg.y)
                    break;
                seg.y += 6.0;
                moved = true;
                break;
            }
        }
    }
    segments.append(seg);

    p->setPen(shown(up->isFlowing() ? pipeGasPen : pipeNoGasPen));
    const int xs = px(coord.toDispX(startX));
    const int xe = px(coord.toDispX(endX));
    const int yRun = px(coord.toDispY(seg.y));
    p->drawLine(xs, px(coord.toDispY(yFrom) - 3), xs, yRun);
    p->drawLine(xs, yRun, xe, yRun);
    p->drawLine(xe, yRun, xe, px(coord.toDispY(yTo) + 3));
}

QList<aNode *> Body::nodesAt(const QPointF &pixel) const
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

void Body::doubleClickedInDisplay(QMouseEvent *e)
{
    for (aNode *node : nodesAt(e->position()))
        node->doubleClickAction();
}

void Body::showDiagramToolTip(QHelpEvent *e)
{
    QStringList texts;
    for (aNode *node : nodesAt(e->pos())) {
        if (node->mark() != DeviceWatch::NoMark)
            texts << node->markText();
    }
    if (texts.isEmpty())
        QToolTip::hideText();
    else
        QToolTip::showText(e->globalPos(), texts.join(QLatin1Char('\n')), display);
}
