#pragma once

#include <QObject>
#include <QString>

// Texts and colours of the open and closed state, shared by the valve and
// MFC panels. State code 0 = open, 1 = closed; any other code gives "".
class Style : public QObject
{
    Q_OBJECT

public:
    Style() = default;

    QString buttonStyle(int state) const;
    QString buttonText(int state) const;

private:
    Q_DISABLE_COPY(Style)
};
