#pragma once

#include <QCoreApplication>
#include <QString>

class QWidget;

// Texts and colours of the open and closed state, shared by the valve and
// MFC panels. State code 0 = open, 1 = closed; any other code gives "".
class Style
{
    Q_DECLARE_TR_FUNCTIONS(Style)

public:
    QString buttonStyle(int state) const;
    QString buttonText(int state) const;
    // The state on a panel: a device that did not answer or contradicted a
    // command adds a magenta frame and a "?"; without the server the colours
    // are muted behind a dashed frame.
    QString panelStyle(int state, bool marked, bool offline) const;
    QString panelText(int state, bool marked) const;
};

// Gives widget the style sheet unless it has it already. Every setting
// polishes the widget anew with a fresh palette, and the style then caches
// pixmaps under that palette which are never used again; a valve shown in
// the same state over and over would fill the cache with them.
void restyle(QWidget *widget, const QString &sheet);
