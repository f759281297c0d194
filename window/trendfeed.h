#pragma once

#include <QList>
#include <QObject>

#include <functional>

class aMFC;
class aNode;
class QDateTime;
class QLineEdit;
class TrendModel;

// Feeds the trends with the panel's own values as they change: each MFC's
// measured flow and set value as its panel shows them, each valve's
// position.
class TrendFeed : public QObject
{
    Q_OBJECT

public:
    // The valves' curves first, then the MFCs'.
    TrendFeed(TrendModel *model, const QList<aNode *> &valves, const QList<aMFC *> &mfcs,
              std::function<QDateTime()> clock, QObject *parent = nullptr);

    // How long the live curves keep what they were fed.
    static constexpr qint64 keepMs = 48LL * 3600 * 1000;

private:
    Q_DISABLE_COPY(TrendFeed)

    struct Mfc
    {
        aMFC *mfc;
        QLineEdit *setPoint;
        qsizetype flowCurve;
        qsizetype setCurve;
    };

    void mfcChanged(const Mfc &m);
    qint64 now() const;

    TrendModel *model;
    std::function<QDateTime()> clock;
};
