#pragma once

#include <QColor>
#include <QString>

// What is drawn around a node's figure on top of its state colours: a
// coloured frame and a symbol at its corner, and what the tooltip says.
// No colour: nothing is drawn.
struct NodeDecoration
{
    QColor colour;
    QString symbol;
    QString text;
};
