#include "valves/style.h"

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

void restyle(QWidget *widget, const QString &sheet)
{
    if (widget->styleSheet() != sheet)
        widget->setStyleSheet(sheet);
}
