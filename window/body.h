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
struct CondTerm;
class GView;
class QGridLayout;
class QLabel;
class QMessageBox;
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
    // Today's record file, as record() names it.
    QString recordFileName(const QDate &date) const;
    // The state of the link to the message server, as the status bar shows it.
    QString linkText() const;
    // TELSO_RECONNECT in milliseconds: seconds, decimals allowed, 0 or
    // anything that is not a positive number turns recovery off; capped.
    static int reconnectDelay(const QString &seconds);

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
    void makeValves();
    void setExclusiveGroups();
    void setConditionsToOpen();
    void setConditionsToClose();
    void makeMfcs();
    void makeNodes();
    void makeConnections();
    void setTimes();
    void setBusChannels();

    aNode *findOpenReference(const QString &word) const;
    void readConditions(const QString &key, const QString &what,
                        const std::function<aNode *(const QString &)> &resolve);
    void drawNode(QPainter *p, aNode *n);
    void drawFittedText(QPainter *p, const QRectF &box, int flags, const QString &text);
    void drawPipe(QPainter *p, aNode *up, aNode *down, QList<Segment> &segments);
    void drawDisconnected(QPainter *p, int wd, int ht);
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

    QGridLayout *panelGrid = nullptr;

    // The record file's columns, taken from nodes once it is complete: a
    // row of a large plant would otherwise look at every node twice.
    void updateRecordColumns();
    QList<aMFC *> recordMfcs;
    QList<aNode *> recordValves;
    qsizetype recordColumnsFrom = -1;
    // The record file whose last header is known to be this run's.
    QString recordHeaderFile;

    void setupTrends();
    TrendModel *trendModel = nullptr;
    TrendWindow *trendView = nullptr;
};
