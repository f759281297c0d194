#include "diagram/diagrampainter.h"

#include "config/numbers.h"
#include "diagram/chcoord.h"

#include <QApplication>
#include <QPainter>

#include <algorithm>
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

} // namespace

DiagramPainter::DiagramPainter(QPainter *painter, const ChCoord &coord, bool live)
    : p(painter), coord(coord), live(live)
{
}

QPen DiagramPainter::shown(const QPen &pen) const
{
    if (live)
        return pen;
    QPen grey(pen);
    grey.setColor(muted(pen.color()));
    return grey;
}

void DiagramPainter::drawNode(aNode *n, const NodeDecoration &decoration)
{
    drawFigure(n, decoration);
    drawLabel(n);
}

void DiagramPainter::drawFigure(aNode *n, const NodeDecoration &decoration)
{
    switch (n->nodeKind) {
    case aNode::PlainNode:
        p->setPen(shown(n->isFlowing(memo) ? nodeFlowingPen : nodeDryPen));
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
    if (decoration.colour.isValid())
        drawDecoration(QRect(QPoint(left, top), QPoint(right, bottom)).normalized(), decoration);
}

// A frame around the figure and a symbol at its corner, so that what it
// says does not rest on the colour alone. Drawn live also while
// disconnected: it is a warning.
void DiagramPainter::drawDecoration(const QRect &figure, const NodeDecoration &decoration)
{
    const QRect frame = figure.adjusted(-5, -5, 5, 5);
    p->setPen(QPen(decoration.colour, 2));
    p->drawRect(frame);
    QFont font = QApplication::font();
    font.setBold(true);
    font.setPixelSize(14);
    const QFont before = p->font();
    p->setFont(font);
    p->drawText(QRect(frame.right() + 2, frame.top() - 16, 16, 16), Qt::AlignLeft | Qt::AlignBottom, decoration.symbol);
    p->setFont(before);
}

QString DiagramPainter::labelText(aNode *n, FlowMemo &memo)
{
    QString text = n->nodeKind == aNode::Valve ? n->gas : n->label;
    const QString gasText = n->nowGasText(memo);
    if (!gasText.isEmpty())
        text += QStringLiteral(" [") + gasText + QStringLiteral("]");
    return text;
}

void DiagramPainter::drawLabel(aNode *n)
{
    p->setPen(shown(textPen));

    const qint64 x = n->x, y = n->y, w = n->w, h = n->h;
    qint64 boxLeft = x - 2 * w, boxWidth = 4 * w, boxLower = y - h / 2, boxHeight = h;
    int flags = Qt::AlignCenter;
    switch (n->nodeKind) {
    case aNode::PlainNode:
        break;
    case aNode::Valve:
        boxLeft = x + w / 2;
        boxWidth = 2 * w;
        flags = Qt::AlignLeft | Qt::AlignVCenter;
        break;
    case aNode::MFC:
        // A placeholder MFC shows no panel details, and no label here either.
        if (!n->labelShown())
            return;
        boxLeft = x - w;
        boxWidth = 2 * w;
        boxLower = y - h / 4;
        boxHeight = h / 2;
        break;
    default:
        return;
    }

    const QString text = labelText(n, memo);
    const double l = coord.toDispX(double(boxLeft));
    const double r = l + coord.toDispW(double(boxWidth));
    const double lower = coord.toDispY(double(boxLower));
    const double upper = lower + coord.toDispH(double(boxHeight));
    drawFittedText(QRectF(QPointF(l, upper), QPointF(r, lower)).normalized(), flags, text);
}

// The text grows or shrinks until its wider relative extent just fills the
// box; it is never smaller than 1 point.
void DiagramPainter::drawFittedText(const QRectF &box, int flags, const QString &text)
{
    QFont font = QApplication::font();
    double s0 = font.pointSizeF();
    if (s0 <= 0)
        s0 = 9.0;
    const QRectF b = measured(flags, text);
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

QRectF DiagramPainter::measured(int flags, const QString &text)
{
    if (extents.isEmpty() || p->font() != extentsFont) {
        extents.clear();
        extentsFont = p->font();
    }
    const std::pair<int, QString> key(flags, text);
    auto known = extents.constFind(key);
    if (known == extents.cend())
        known = extents.insert(key, p->boundingRect(QRectF(0, 0, 1000, 1000), flags, text));
    return *known;
}

DiagramPainter::Segment DiagramPainter::placeRun(Segment seg) const
{
    for (;;) {
        const auto level = runs.constFind(seg.y);
        if (level == runs.cend())
            return seg;
        const auto overlaps = [&seg](const Segment &other) { return other.x0 <= seg.x1 && seg.x0 <= other.x1; };
        // At magnitudes where 6 units vanish, raising cannot help.
        if (std::none_of(level->cbegin(), level->cend(), overlaps) || seg.y + 6.0 == seg.y)
            return seg;
        seg.y += 6.0;
    }
}

void DiagramPainter::drawPipe(aNode *up, aNode *down)
{
    const double kU = up->indexOfParent(down);
    const double nU = up->parents.size();
    const double kN = down->indexOfChild(up);
    const double nN = down->children.size();

    const double startX = up->x + coord.toRealX((kU - (nU - 1) / 2.0) * 7.0);
    const double endX = down->x + coord.toRealX((kN - (nN - 1) / 2.0) * 7.0);
    const double yFrom = double(up->y) + double(up->h);
    const double yTo = double(down->y) - double(down->h);

    const Segment seg = placeRun({std::min(startX, endX), std::max(startX, endX), yFrom + 0.45 * (yTo - yFrom)});
    runs[seg.y].append(seg);

    p->setPen(shown(up->isFlowing(memo) ? pipeGasPen : pipeNoGasPen));
    const int xs = px(coord.toDispX(startX));
    const int xe = px(coord.toDispX(endX));
    const int yRun = px(coord.toDispY(seg.y));
    p->drawLine(xs, px(coord.toDispY(yFrom) - 3), xs, yRun);
    p->drawLine(xs, yRun, xe, yRun);
    p->drawLine(xe, yRun, xe, px(coord.toDispY(yTo) + 3));
}
