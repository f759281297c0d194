#pragma once

#include <QWidget>

class EventHistory;
class QLineEdit;
class QSortFilterProxyModel;
class QStandardItemModel;
class QTableView;

// Today's events, newest first, narrowed by a text typed into the filter.
class HistoryWindow : public QWidget
{
    Q_OBJECT

public:
    HistoryWindow(EventHistory *history, QWidget *parent = nullptr);

    QLineEdit *filterField() const { return filter; }
    QTableView *table() const { return view; }

private:
    Q_DISABLE_COPY(HistoryWindow)

    void reload();

    EventHistory *history;
    QStandardItemModel *model;
    QSortFilterProxyModel *shown;
    QLineEdit *filter;
    QTableView *view;
};
