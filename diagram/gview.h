#pragma once

#include "diagram/chcoord.h"
#include "diagram/nodedecoration.h"
#include "ui_gview.h"

#include <QFrame>
#include <QList>

#include <functional>

class aNode;

// The gas-line diagram: every node as a figure at its configured place,
// pipes between them, colours by state. It paints itself from the node
// list, follows the link's state ("live") and toggles a valve on a double
// click.
class GView : public QFrame, private Ui_GView
{
    Q_OBJECT

public:
    using Decorator = std::function<NodeDecoration(const aNode *)>;

    explicit GView(QWidget *parent = nullptr);
    ~GView() override;

    // The nodes in drawing order.
    void setNodes(const QList<aNode *> &nodes);
    // Diagram units across and up; a size that is not positive is 100.
    void setDiagramSize(int width, int height);
    // Not live: the states drawn may no longer be the plant's; they are
    // muted and the diagram says "Disconnected".
    void setLive(bool live);
    bool isLive() const { return live; }
    // Asked for every node at each paint, the latest first; the first
    // decoration with a colour is drawn. A device's mark is always asked last.
    void addDecorator(const Decorator &decorator);

    // Draws the whole diagram at the widget's size.
    void paint(QPainter *painter);
    // Nodes whose figure holds the pixel, by the mapping of the last paint.
    QList<aNode *> nodesAt(const QPointF &pixel) const;

    QSize sizeHint() const override;
    // Small enough for a 1080-line screen at twice the scale, large enough
    // that the plant stays in sight.
    QSize minimumSizeHint() const override { return QSize(120, 80); }

protected:
    void paintEvent(QPaintEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    bool event(QEvent *event) override;

signals:
    // The operator double-clicked the node's figure (before its action).
    void nodeDoubleClicked(aNode *node);

private:
    Q_DISABLE_COPY(GView)

    NodeDecoration decorationOf(const aNode *node) const;

    QList<aNode *> nodes;
    QList<Decorator> decorators;
    ChCoord coord;
    int dispWidth = 100;
    int dispHeight = 100;
    bool live = true;
};
