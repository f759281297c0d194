#include "window/historywindow.h"

#include "window/eventhistory.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QSortFilterProxyModel>
#include <QStandardItemModel>
#include <QTableView>
#include <QVBoxLayout>

QString HistoryWindow::kindText(const QString &kind)
{
    // The file keeps its fixed words; the window speaks the operator's language.
    const QList<std::pair<QString, QString>> names = {
        {EventHistory::AlarmRaised, tr("Alarm")},
        {EventHistory::AlarmCleared, tr("Cleared")},
        {EventHistory::AlarmAcknowledged, tr("Acknowledged")},
        {EventHistory::Operator, tr("Operator")},
        {EventHistory::Request, tr("Request")},
        {EventHistory::Refused, tr("Refused")},
        {EventHistory::Interlock, tr("Interlock")},
        {EventHistory::Link, tr("Link")},
        {EventHistory::Timed, tr("Timed")},
    };
    for (const auto &name : names)
        if (name.first == kind)
            return name.second;
    return kind;
}

QList<QStandardItem *> HistoryWindow::rowOf(const EventHistory::Event &event)
{
    QList<QStandardItem *> row;
    for (const QString &text :
         {event.time.toString(QStringLiteral("HH:mm:ss.zzz")), kindText(event.kind), event.source, event.text})
        row << new QStandardItem(text);
    return row;
}

HistoryWindow::HistoryWindow(EventHistory *history, QWidget *parent)
    : QWidget(parent, Qt::Window), history(history), model(new QStandardItemModel(this)),
      shown(new QSortFilterProxyModel(this)), filter(new QLineEdit), view(new QTableView)
{
    setObjectName(QStringLiteral("historyWindow"));
    setWindowTitle(tr("History"));
    model->setHorizontalHeaderLabels({tr("Time"), tr("Kind"), tr("Source"), tr("Event")});
    shown->setSourceModel(model);
    shown->setFilterKeyColumn(-1);
    shown->setFilterCaseSensitivity(Qt::CaseInsensitive);
    filter->setPlaceholderText(tr("Filter"));
    filter->setClearButtonEnabled(true);
    connect(filter, &QLineEdit::textChanged, shown, &QSortFilterProxyModel::setFilterFixedString);

    view->setModel(shown);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    view->horizontalHeader()->setStretchLastSection(true);
    view->verticalHeader()->hide();

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(filter);
    layout->addWidget(view);
    resize(760, 400);

    reload();
    connect(history, &EventHistory::added, this, [this](const EventHistory::Event &event) {
        // The first of a new day: the list holds that day's events only.
        if (this->history->events().size() == 1) {
            reload();
            return;
        }
        model->insertRow(0, rowOf(event));
        if (model->rowCount() > this->history->events().size())
            model->removeRow(model->rowCount() - 1);
    });
}

void HistoryWindow::reload()
{
    model->removeRows(0, model->rowCount());
    for (const EventHistory::Event &event : history->events())
        model->insertRow(0, rowOf(event));
}
