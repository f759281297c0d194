#include "window/trendfeed.h"

#include "config/numbers.h"
#include "mfc/amfc.h"
#include "nodes/anode.h"
#include "window/trendmodel.h"

#include <QDateTime>
#include <QHash>
#include <QLineEdit>
#include <QTimer>

TrendFeed::TrendFeed(TrendModel *trendModel, const QList<aNode *> &valves, const QList<aMFC *> &mfcs,
                     std::function<QDateTime()> liveClock, QObject *parent)
    : QObject(parent), model(trendModel), clock(std::move(liveClock))
{
    QHash<QString, int> seen;
    const auto occurrence = [&seen](const QString &kind, const QString &label) { return seen[kind + label]++; };
    const qint64 start = now();
    for (aNode *node : valves) {
        const qsizetype curve =
            model->addLiveCurve(TrendSeries::Valve, node->label, occurrence(QStringLiteral("v"), node->label));
        connect(node, &aNode::newStat, this,
                [this, node, curve] { model->append(curve, now(), node->isOn() ? 1 : 0); });
        model->append(curve, start, node->isOn() ? 1 : 0);
    }
    for (aMFC *mfc : mfcs) {
        const int n = occurrence(QStringLiteral("m"), mfc->label);
        // The set value as the panel shows it, in display units.
        const Mfc m{mfc, mfc->findChild<QLineEdit *>(QStringLiteral("NowSetPoint")),
                    model->addLiveCurve(TrendSeries::Flow, mfc->label, n),
                    model->addLiveCurve(TrendSeries::SetPoint, mfc->label, n)};
        connect(mfc, &aMFC::newValue, this, [this, m] { mfcChanged(m); });
        mfcChanged(m);
    }
    auto *trim = new QTimer(this);
    connect(trim, &QTimer::timeout, this, [this] { model->dropBefore(now() - keepMs); });
    trim->start(10 * 60 * 1000);
}

qint64 TrendFeed::now() const
{
    return clock().toMSecsSinceEpoch();
}

void TrendFeed::mfcChanged(const Mfc &m)
{
    const qint64 ms = now();
    model->append(m.flowCurve, ms, m.mfc->shownFlow());
    if (m.setPoint)
        model->append(m.setCurve, ms, toDecimal(m.setPoint->text()));
}
