#pragma once

#include "ui_mainwindow.h"

#include <QMainWindow>

// The program's only main window: builds the plant from the configuration,
// connects to the message server and serves the operator.
class Body : public QMainWindow, private Ui_MainWindow
{
    Q_OBJECT

public:
    explicit Body();
    ~Body() override;

private:
    Q_DISABLE_COPY(Body)
};
