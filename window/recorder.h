#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

#include <functional>

class aNode;
class CheckedAppend;

// The daily record file "NAME-yyyyMMdd.log": a header of the columns, then
// one row per change of the plant with the time, every MFC's shown flow and
// every valve's position.
class Recorder
{
public:
    Recorder(const QString &name, std::function<QDateTime()> clock, CheckedAppend *file);

    // The columns in their order: the MFCs, then the valves.
    void setColumns(const QList<aNode *> &mfcs, const QList<aNode *> &valves);
    QString fileName(const QDate &date) const;
    void record();

private:
    QString name;
    std::function<QDateTime()> clock;
    CheckedAppend *file;
    QList<aNode *> columns;
    QString header = QStringLiteral("#Time\n");
};
