#pragma once

#include "window/eventhistory.h"

#include <QWidget>

class QLineEdit;
class QStandardItem;
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
    static QString kindText(const QString &kind);
    static QList<QStandardItem *> rowOf(const EventHistory::Event &event);

    EventHistory *history;
    QStandardItemModel *model;
    QSortFilterProxyModel *shown;
    QLineEdit *filter;
    QTableView *view;
};
