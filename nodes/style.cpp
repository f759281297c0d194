#include "nodes/style.h"

#include <QWidget>

QString Style::buttonStyle(int state) const
{
    switch (state) {
    case 0:
        return QStringLiteral("background-color: rgb(255, 255, 121); color: rgb(0, 0, 0);");
    case 1:
        return QStringLiteral("background-color: rgb(149, 149, 149); color: rgb(255, 255, 255);");
    default:
        return QString();
    }
}

QString Style::buttonText(int state) const
{
    switch (state) {
    case 0:
        return tr("Opening");
    case 1:
        return tr("Closing");
    default:
        return QString();
    }
}

QString Style::panelStyle(int state, bool marked, bool offline) const
{
    QString sheet;
    if (!offline) {
        sheet = buttonStyle(state);
    } else if (state == 0 || state == 1) {
        sheet = state == 0 ? QStringLiteral("background-color: rgb(236, 236, 196); color: rgb(90, 90, 90);")
                           : QStringLiteral("background-color: rgb(196, 196, 196); color: rgb(245, 245, 245);");
        if (!marked)
            sheet += QStringLiteral(" border: 2px dashed rgb(120, 120, 120);");
    }
    if (marked)
        sheet += QStringLiteral(" border: 3px solid rgb(255, 0, 255);");
    return sheet;
}

QString Style::panelText(int state, bool marked) const
{
    const QString text = buttonText(state);
    return marked && !text.isEmpty() ? text + QStringLiteral(" ?") : text;
}

void restyle(QWidget *widget, const QString &sheet)
{
    if (widget->styleSheet() != sheet)
        widget->setStyleSheet(sheet);
}
