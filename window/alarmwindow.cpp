#include "window/alarmwindow.h"

#include "window/alarmlist.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

AlarmWindow::AlarmWindow(AlarmList *alarms, QWidget *parent)
    : QWidget(parent, Qt::Window), alarms(alarms), view(new QTableView)
{
    setObjectName(QStringLiteral("alarmWindow"));
    setWindowTitle(tr("Alarms"));
    view->setModel(alarms);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    view->horizontalHeader()->setSectionResizeMode(AlarmList::Text, QHeaderView::Stretch);
    view->verticalHeader()->hide();

    auto *ackOne = new QPushButton(tr("Acknowledge"));
    auto *ackAll = new QPushButton(tr("Acknowledge All"));
    connect(ackOne, &QPushButton::clicked, this, &AlarmWindow::acknowledgeSelected);
    connect(ackAll, &QPushButton::clicked, alarms, &AlarmList::acknowledgeAll);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ackOne);
    buttons->addWidget(ackAll);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(view);
    layout->addLayout(buttons);
    resize(760, 300);
}

void AlarmWindow::acknowledgeSelected()
{
    QList<int> rows;
    for (const QModelIndex &index : view->selectionModel()->selectedRows())
        rows << index.row();
    // From the bottom: an acknowledged row that has cleared goes away.
    std::sort(rows.begin(), rows.end(), std::greater<int>());
    for (int row : std::as_const(rows))
        alarms->acknowledge(row);
}
