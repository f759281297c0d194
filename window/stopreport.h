#pragma once

#include <QList>
#include <QObject>
#include <QString>

class aNode;

// Follows the commands of one Stop All until every valve and MFC has
// confirmed its own, or failed to, and then says what was reached.
class StopReport : public QObject
{
    Q_OBJECT

public:
    explicit StopReport(QObject *parent = nullptr);

    // Starts over with the plant's nodes, right after Stop All went through
    // them; an earlier report still waiting is dropped.
    void start(const QList<aNode *> &nodes);

signals:
    // The text for the status bar: first that it waits, then the outcome.
    void report(const QString &text);
    // The outcome: the labels of the valves and MFCs that did not confirm,
    // empty when every one did.
    void finished(const QStringList &unconfirmed);

private:
    Q_DISABLE_COPY(StopReport)

    void settled(aNode *node, bool confirmed);
    void finish();

    QList<aNode *> order;
    QList<aNode *> waiting;
    QList<aNode *> unconfirmed;
    QList<aNode *> stillOpen;
    QList<QMetaObject::Connection> connections;
};
