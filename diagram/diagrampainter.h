#pragma once

#include "diagram/nodedecoration.h"
#include "nodes/anode.h"

#include <QFont>
#include <QHash>
#include <QList>
#include <QPen>

class ChCoord;
class QPainter;

// Draws the plant onto one painter: figures with their fitted labels, pipes
// and decorations. Made for one paint: each node's flowing state and gas
// mixture are worked out once however many paths lead to it, so no plant
// makes a paint grow with the number of its paths.
class DiagramPainter
{
public:
    // live false: the states drawn may no longer be the plant's; muted.
    DiagramPainter(QPainter *painter, const ChCoord &coord, bool live);

    void drawNode(aNode *n, const NodeDecoration &decoration);
    // The pipe from up (which feeds) to down.
    void drawPipe(aNode *up, aNode *down);
    // What the diagram writes beside a node: a valve's gas, another node's
    // label, and the gases flowing through it in brackets.
    static QString labelText(aNode *n, FlowMemo &memo);

private:
    struct Segment
    {
        double x0;
        double x1;
        double y;
    };

    void drawFigure(aNode *n, const NodeDecoration &decoration);
    void drawLabel(aNode *n);
    void drawFittedText(const QRectF &box, int flags, const QString &text);
    // The text's extent in the painter's font, as QPainter::boundingRect
    // gives it; measured once per text, flags and font in a paint.
    QRectF measured(int flags, const QString &text);
    void drawDecoration(const QRect &figure, const NodeDecoration &decoration);
    // Raises a horizontal run above the earlier runs it would overlap.
    Segment placeRun(Segment seg) const;
    QPen shown(const QPen &pen) const;

    QPainter *p;
    const ChCoord &coord;
    bool live;
    FlowMemo memo;
    // Horizontal pipe runs drawn so far, by height, kept apart from each
    // other: a run is checked only against those at its own height.
    QHash<double, QList<Segment>> runs;
    // Many labels repeat (a gas names every valve of its line), and each
    // measurement lays the text out anew.
    QHash<std::pair<int, QString>, QRectF> extents;
    QFont extentsFont;

    const QPen valveOpenPen{QColor(230, 210, 0), 3};
    const QPen valveClosedPen{QColor(170, 150, 0), 3};
    const QPen mfcOnPen{QColor(0, 180, 240), 3};
    const QPen mfcOffPen{QColor(0, 0, 170), 3};
    const QPen nodeFlowingPen{QColor(0, 240, 180), 3};
    const QPen nodeDryPen{QColor(0, 170, 0), 3};
    const QPen pipeGasPen{QColor(255, 0, 0), 5};
    const QPen pipeNoGasPen{QColor(0, 0, 0), 5};
    const QPen textPen{QColor(0, 0, 0), 1};
};
