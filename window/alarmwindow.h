#pragma once

#include <QWidget>

class AlarmList;
class QTableView;

// The alarm list: one row per alarm, acknowledged one by one or all at once.
class AlarmWindow : public QWidget
{
    Q_OBJECT

public:
    AlarmWindow(AlarmList *alarms, QWidget *parent = nullptr);

    QTableView *table() const { return view; }

private:
    Q_DISABLE_COPY(AlarmWindow)

    void acknowledgeSelected();

    AlarmList *alarms;
    QTableView *view;
};
