#pragma once

#include "bus/busreceiver.h"
#include "bus/busrouter.h"
#include "bus/tmsg.h"
#include "nodes/condterm.h"
#include "nodes/devicewatch.h"
#include "nodes/gasshare.h"
#include "plant/plantnode.h"

#include <QFrame>
#include <QHash>
#include <QList>
#include <QPointer>
#include <QStringList>

class RemoteAccess;
class Telso;
class TickTimer;
class aNode;

// The states worked out during one look at the plant (a repaint, a request):
// a node fed through many paths is asked once, not once per path.
struct FlowMemo
{
    QHash<const aNode *, bool> flowing;
    QHash<const aNode *, GasMixture> mixture;
    // A request walks one subtree once: only nodes fed into several others
    // are reached twice. A repaint asks every node in turn and keeps them all.
    bool everyMixture = true;
};

// A point of a gas line: a plain junction, and the base of valves and MFCs.
// children feed the node (upstream, towards the sources), parents are fed by
// it (downstream).
class aNode : public QFrame, public BusReceiver
{
    Q_OBJECT

public:
    enum Kind { PlainNode = PlantNode::Plain, Valve = PlantNode::Valve, MFC = PlantNode::Mfc };

    aNode(const QString &nodeName, int panelColumn, int nodeKind, const QString &gas, double cf, const QString &label,
          const QString &hwNode, const QString &channel, int x, int y, int w, int h, Telso *telso);
    ~aNode() override;

    virtual QString typeName() const;
    // Whether gas reaches the node: it is on, and so is every node on some
    // path from it up to a source.
    bool isFlowing();
    bool isFlowing(FlowMemo &memo);
    virtual bool isOn() const;
    virtual void doubleClickAction();
    // The node in a Stat answer; a plain junction says nothing.
    QString statusText() const;
    // The same, added to out: a Stat answer is put together in one text.
    virtual void appendStatusText(QString &out) const;

    // A name the node answers requests under, also after the login.
    void addBusName(const QString &name);

    // Requests for one of busNames, handed over by the bus client once
    // logged in; reports from the node's device (valves and MFCs).
    void takeRequest(const TMsg &msg) override;
    void takeReport(const TMsg &msg) override;
    // What the walks over the plant ask of each kind of node; a plain
    // junction does nothing. A route of "SetNewGas" passes flowText: a valve
    // opens (closes for 0), an MFC takes it as its set point and returns true
    // with the set point it kept in kept.
    virtual bool takeRouteFlow(const QString &flowText, double &kept);
    // Turns the shares of the gases flowing in (those of shares from index
    // from on) into flows (an MFC, by what it measures).
    virtual void scaleMixture(GasMixture &shares, qsizetype from) const;
    virtual void takePurge(double magnification);
    // Stop All: a valve closes, an MFC is set to 0.
    virtual void stop();
    // The value of the node's column in the record file.
    virtual QString recordText() const;
    // Whether the diagram writes the node's label (a placeholder MFC has none).
    virtual bool labelShown() const;

    void addChild(aNode *child);
    void addParent(aNode *parent);
    int indexOfChild(aNode *node) const;
    int indexOfParent(aNode *node) const;
    static void collectSubtree(aNode *start, QList<aNode *> &list);

    // Timed opening and closing (times in minutes).
    void setTimeToOpen(double minutes);
    void setTimeToClose(double minutes);
    void restartOpenTimer();
    void restartCloseTimer();
    void stopOpenTimer();
    void stopCloseTimer();
    // The shortest countdown a time to open or close gives (ms).
    static constexpr int MinTimedInterval = 1000;

    // Gas routing.
    static bool findGasPath(const QString &gas, aNode *n, QList<aNode *> &route);
    static bool applyGasRoute(const QList<aNode *> &route, const QString &flowText, double &applied);
    static void appendGasShares(aNode *n, FlowMemo &memo, GasMixture &out);
    static void mergeGasShares(GasMixture &shares, qsizetype from);
    QString nowGasText();
    QString nowGasText(FlowMemo &memo);
    static void setPurgeTree(aNode *n, double magnification);

    // True when the node has a bus client that is not logged in, or whose
    // server has not answered for a while: a command for the hardware would
    // go nowhere, or arrive only when the server wakes up.
    bool linkDown() const;

    // Whether the device has left a command or question unanswered, or
    // contradicted a command; valves and MFCs with a hardware node only.
    using Mark = DeviceWatch::Mark;
    Mark mark() const;
    // Which node and device, which command or question, since when.
    QString markText() const;
    QDateTime markSince() const;
    // A command to the device is still waiting for its confirmation.
    bool confirmationPending() const;
    // Confirmation and poll times in ms; 0 confirmation time: not watched.
    void setWatchTimes(int confirmMsec, int pollMsec);
    DeviceWatch *deviceWatch() const { return watch; }
    // The device as the operator finds it on the bus.
    virtual QString deviceText() const;

    bool stat = true;
    Telso *telso = nullptr;
    // Asked before a request changes the plant; none lets every request through.
    RemoteAccess *access = nullptr;
    QStringList busNames;
    QString hwNode;
    QString channel;
    QString nodeName;
    int panelColumn = 0;
    int nodeKind = PlainNode;
    QString label;
    QString gas;
    QStringList gasList;
    int x = 0;
    int y = 0;
    int w = 0;
    int h = 0;
    QList<aNode *> children;
    QList<aNode *> parents;
    double cf = 0.0;
    bool timeToOpenOn = false;
    bool timeToCloseOn = false;
    TickTimer *openTimer = nullptr;
    TickTimer *closeTimer = nullptr;
    QList<Condition> condToOpen;
    QList<Condition> condToClose;

signals:
    void newStat();
    void timeToOpen();
    void timeToClose();
    void timeToOpenTick(int remain_msec);
    void timeToCloseTick(int remain_msec);
    // An operator's action was refused because the link is down.
    void commandNotSent();
    void markChanged();
    // The last command was confirmed, or not (contradicted, unanswered, or
    // the link went before the answer).
    void confirmationSettled(bool confirmed);
    // The operator did something on the node's panel (text says what).
    void operatorAction(const QString &text);
    // A request of another bus client changed the plant through this node.
    void requestCarriedOut(const QString &sender, const QString &request, const QString &reply);

protected:
    // Valves and MFCs with a hardware node have their device watched.
    void watchDevice();
    // Shows state, mark and link on the node's own panel.
    virtual void refreshLook();
    // The state as the device reports it, for the mark's text.
    virtual QString reportedText() const;
    // What a panel's tooltip says: the mark, or that the link is down.
    QString lookToolTip() const;

    // Hands the node the reports of its device from now on.
    void followDevice(BusRouter::DeviceKind kind, const QString &sender, const QString &channel = QString());

    DeviceWatch *watch = nullptr;

private slots:
    virtual void newFromStat();
    void connected();
    virtual void connected0();
    void AskSetNewGas(const TMsg &msg);
    void AskGetNowGas(const TMsg &msg);
    void AskSetPurge(const TMsg &msg);
    void askStat(const TMsg &msg);
    void linkChanged();

private:
    Q_DISABLE_COPY(aNode)

    // False when access refuses msg; the refusal is then answered.
    bool mayChange(const TMsg &msg);
    int shortestInterval(double minutes, int msec, const char *what) const;

    // The client whose router knows this node; it may go first.
    QPointer<Telso> routedBy;
};
