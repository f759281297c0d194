#pragma once

#include "bus/busreceiver.h"
#include "bus/busrouter.h"
#include "bus/tmsg.h"
#include "nodes/devicewatch.h"
#include "nodes/gasshare.h"
#include "valves/condterm.h"

#include <QFrame>
#include <QList>
#include <QPointer>
#include <QStringList>

class RemoteAccess;
class Telso;
class TickTimer;

// A point of a gas line: a plain junction, and the base of valves and MFCs.
// children feed the node (upstream, towards the sources), parents are fed by
// it (downstream).
class aNode : public QFrame, public BusReceiver
{
    Q_OBJECT

public:
    enum Kind { PlainNode = 0, Valve = 1, MFC = 2 };

    aNode(const QString &nodeName, int panelColumn, int nodeKind, const QString &gas, double cf,
          const QString &label, const QString &hwNode, const QString &channel, int x, int y, int w, int h,
          Telso *telso);
    ~aNode() override;

    virtual QString typeName() const;
    virtual bool isFlowing();
    virtual bool isOn() const;
    virtual void doubleClickAction();
    virtual QString statusText() const;

    // A name the node answers requests under, also after the login.
    void addBusName(const QString &name);

    // Requests for one of busNames, handed over by the bus client once
    // logged in; reports from the node's device (valves and MFCs).
    void takeRequest(const TMsg &msg) override;
    void takeReport(const TMsg &msg) override;

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
    static GasMixture gasShares(aNode *n);
    static GasMixture mergeGasShares(const GasMixture &shares);
    QString nowGasText();
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

protected:
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
