// The trends of the main window: fed with the panel's values from start-up
// on, and with today's record file, so a restart loses nothing of the day.
#include "window/body.h"

#include "config/config.h"
#include "valves/avalve.h"
#include "window/plantbuilder.h"
#include "window/trendfeed.h"
#include "window/trendmodel.h"
#include "window/trendwindow.h"

void Body::setupTrends()
{
    trendModel = new TrendModel(this);
    new TrendFeed(trendModel, {plant->valves().cbegin(), plant->valves().cend()}, plant->mfcs(), clock, trendModel);
    trendModel->loadRecord(recordFileName(clock().date()));
    connect(actionTrends, &QAction::triggered, this, &Body::showTrends);
    if (config.contains(QStringLiteral("-trends")))
        showTrends();
}

void Body::showTrends()
{
    if (!trendView)
        trendView = new TrendWindow(
            trendModel, [] { return clock().toMSecsSinceEpoch(); }, this);
    trendView->show();
    trendView->raise();
    trendView->activateWindow();
}
