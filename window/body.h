#pragma once

#include "bus/tmsg.h"
#include "diagram/chcoord.h"
#include "ui_mainwindow.h"

#include <QColor>
#include <QDateTime>
#include <QList>
#include <QMainWindow>
#include <QMouseEvent>
#include <QPainter>
#include <QPen>

#include <functional>

class aMFC;
class aNode;
class CheckedAppend;
struct CondTerm;
class GView;
class QGridLayout;
class QHelpEvent;
class QLabel;
class QMessageBox;
class RemoteAccess;
class StopReport;
class Telso;
class TrendModel;
class TrendWindow;

// The program's only main window: builds the plant from the configuration,
// connects to the message server, draws the gas-line diagram and serves the
// operator and the "Stat" requests for the whole program.
class Body : public QMainWindow, private Ui_MainWindow
{
    Q_OBJECT

public:
    explicit Body();
    ~Body() override;

    aNode *findNode(int number, int type) const;
    const QList<aNode *> &nodeList() const { return nodes; }
    Telso *busClient() const { return bus; }
    GView *diagram() const { return display; }
    QMessageBox *exclusiveBox() const { return exclusiveMsg; }
    RemoteAccess *remoteAccess() const { return access; }
    // Today's record file, as record() names it.
    QString recordFileName(const QDate &date) const;
    // The state of the link to the message server, as the status bar shows it.
    QString linkText() const;
    // What is wrong with the key file, empty when it gave keys.
    QString keyText() const;
    // The record file's writes, and how many of them failed.
    CheckedAppend *recordWrites() const { return recordFile; }
    // Keeps text (what went wrong at start-up) in view in the status bar;
    // nothing when it is empty.
    void showStartupNotice(const QString &text);
    // TELSO_RECONNECT in milliseconds: seconds, decimals allowed, 0 or
    // anything that is not a positive number turns recovery off; capped.
    static int reconnectDelay(const QString &seconds);
    // LINK_TIMEOUT in milliseconds, read the same way; 0 turns it off.
    static int linkTimeout(const QString &seconds);

    // The curves of the trend window, fed from start-up on.
    TrendModel *trends() const { return trendModel; }
    TrendWindow *trendWindow() const { return trendView; }

    // The clock the record file reads; tests set it to cross midnight or 2038.
    static std::function<QDateTime()> clock;

public slots:
    void draw(QPainter *p);
    void doubleClickedInDisplay(QMouseEvent *e);
    void stopAll();
    void record();
    void vCtrlMsg();
    void controllTimeToOpenClose();
    void askStat(const TMsg &msg);
    void Exit();
    void showLinkState();
    void commandNotSent();
    void showRemoteControl();
    void showRefusals();
    void showDiagramToolTip(QHelpEvent *e);
    void showRefusal(const QString &text);
    void showTrends();

private:
    Q_DISABLE_COPY(Body)

    struct Segment
    {
        double x0;
        double x1;
        double y;
    };

    void setupDiagram();
    void setupRemoteControl();
    void makeValves();
    void setExclusiveGroups();
    void setConditionsToOpen();
    void setConditionsToClose();
    void makeMfcs();
    void makeNodes();
    void makeConnections();
    void setTimes();
    void setBusChannels();
    void orderTabs();
    void fitLayout();

    aNode *findOpenReference(const QString &word) const;
    void readConditions(const QString &key, const QString &what,
                        const std::function<aNode *(const QString &)> &resolve);
    void drawNode(QPainter *p, aNode *n);
    void drawFittedText(QPainter *p, const QRectF &box, int flags, const QString &text);
    void drawPipe(QPainter *p, aNode *up, aNode *down, QList<Segment> &segments);
    void drawDisconnected(QPainter *p, int wd, int ht);
    void drawMark(QPainter *p, const QRect &figure);
    // Nodes whose figure holds the pixel, by the mapping of the last paint.
    QList<aNode *> nodesAt(const QPointF &pixel) const;
    // pen as drawn now: greyed while the link is down.
    QPen shown(const QPen &pen) const;

    QGridLayout *valveGrid = nullptr;
    QGridLayout *mfcGrid = nullptr;
    GView *display = nullptr;
    Telso *bus = nullptr;
    QMessageBox *exclusiveMsg = nullptr;
    QList<aNode *> nodes;
    // Terms of the conditions made from the configuration; the nodes only
    // point to them.
    QList<CondTerm *> condTerms;

    ChCoord coord;
    int dispWidth = 100;
    int dispHeight = 100;
    QColor black;
    QColor red;
    QPen valveOpenPen;
    QPen valveClosedPen;
    QPen mfcOnPen;
    QPen mfcOffPen;
    QPen nodeFlowingPen;
    QPen nodeDryPen;
    QPen pipeGasPen;
    QPen pipeNoGasPen;
    QPen textPen;
    bool mutedDrawing = false;
    QLabel *linkLabel = nullptr;
    RemoteAccess *access = nullptr;
    QLabel *remoteLabel = nullptr;
    QLabel *refusedLabel = nullptr;
    StopReport *stopReport = nullptr;
    QLabel *keyLabel = nullptr;
    QLabel *recordLabel = nullptr;
    CheckedAppend *recordFile = nullptr;
    QLabel *noticeLabel = nullptr;

    QGridLayout *panelGrid = nullptr;

    // The record file's columns, taken from nodes once it is complete: a
    // row of a large plant would otherwise look at every node twice.
    void updateRecordColumns();
    QList<aMFC *> recordMfcs;
    QList<aNode *> recordValves;
    QString recordHeader;
    qsizetype recordColumnsFrom = -1;
    // The record file whose last header is known to be this run's.

    void setupTrends();
    TrendModel *trendModel = nullptr;
    TrendWindow *trendView = nullptr;
};
