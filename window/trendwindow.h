#pragma once

#include "ui_trendwindow.h"
#include "window/recordreader.h"

#include <QList>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include <functional>

class QTreeWidgetItem;
class TrendModel;

// The trends: flows and set values above, valve positions below, on one
// time axis; a checklist of the curves that also reads out their values at
// the cursor; presets, zoom and pan; a live mode that follows the present
// and pauses while the operator looks back; export of what is shown.
class TrendWindow : public QWidget, private Ui_TrendWindow
{
    Q_OBJECT

public:
    // clock gives the present for a live panel; without one the window
    // shows files only.
    TrendWindow(TrendModel *model, std::function<qint64()> clock, QWidget *parent = nullptr);

    qint64 rangeFrom() const { return from; }
    qint64 rangeTo() const { return to; }
    void setRange(qint64 first, qint64 last);
    // A preset: span milliseconds up to the present (live) or up to the
    // end of what is shown.
    void showSpan(qint64 span);
    // Everything the curves hold.
    void showAll();
    bool isFollowing() const { return LiveButton->isChecked(); }
    void setFollowing(bool follow);
    void zoomAt(qint64 ms, double factor);
    void panBy(qint64 ms);
    void setCursorTime(qint64 ms);

    void openFiles(const QStringList &paths);
    bool exportPng(const QString &path);
    bool exportCsv(const QString &path);
    // The checklist entry of a model curve: shown, and its readout.
    void setCurveShown(qsizetype curve, bool shown);
    QString readout(qsizetype curve) const;
    QString reportText() const { return ReportLabel->text(); }
    // Where an export goes (title, suggested name, filter); empty: not at
    // all. A file dialog unless replaced, as tests do.
    std::function<QString(const QString &, const QString &, const QString &)> askSavePath;
    // Files are being read or curves drawn.
    bool isBusy() const;

signals:
    // Nothing is being read or drawn any more.
    void idle();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    Q_DISABLE_COPY(TrendWindow)

    void connectButtons();
    void connectPlots();
    void addCurves();
    void relist();
    void redraw();
    void tick();
    void recordRead(const QString &fileName, const RecordData &summary);
    void updateReadout();
    void checkIdle();
    qint64 present() const;
    QString curveName(qsizetype curve) const;
    QTreeWidgetItem *group(int kind);

    TrendModel *model;
    std::function<qint64()> clock;
    qint64 from = 0;
    qint64 to = 1;
    qint64 cursorMs;
    bool dirty = false;
    QList<QTreeWidgetItem *> items; // by model curve
    QList<QTreeWidgetItem *> groups;
    QStringList reports;
    QHash<QString, int> colorSlots;
    QTimer liveTimer;
    QTimer relistTimer;
};
