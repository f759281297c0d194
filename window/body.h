#pragma once

#include "bus/tmsg.h"
#include "ui_mainwindow.h"

#include <QDateTime>
#include <QList>
#include <QMainWindow>

#include <functional>
#include <memory>

class aNode;
class AlarmList;
class AlarmWindow;
class CheckedAppend;
class EventHistory;
class HistoryWindow;
class QToolButton;
class GView;
class PlantBuilder;
class QGridLayout;
class QLabel;
class QMessageBox;
class Recorder;
class RemoteAccess;
class StopReport;
class Telso;
class TrendModel;
class TrendWindow;

// The program's only main window: builds the plant from the configuration,
// connects to the message server, shows the panels and the gas-line diagram
// and serves the operator and the "Stat" requests for the whole program.
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

    // The latched alarms, the day's events and the writes of the events file.
    AlarmList *alarms() const { return alarmList; }
    EventHistory *eventHistory() const { return history; }
    CheckedAppend *historyWrites() const { return historyFile; }
    AlarmWindow *alarmWindow() const { return alarmView; }
    HistoryWindow *historyWindow() const { return historyView; }

    // The clock the record file reads; tests set it to cross midnight or 2038.
    static std::function<QDateTime()> clock;

public slots:
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
    void showRefusal(const QString &text);
    void showTrends();
    void showAlarms();
    void showHistory();

private:
    Q_DISABLE_COPY(Body)

    void setupPanels();
    void buildPlant();
    void setupRecord();
    void setupRemoteControl();
    void setupLink();
    void orderTabs();
    void fitLayout();

    QGridLayout *valveGrid = nullptr;
    QGridLayout *mfcGrid = nullptr;
    GView *display = nullptr;
    Telso *bus = nullptr;
    QMessageBox *exclusiveMsg = nullptr;
    std::unique_ptr<PlantBuilder> plant;
    QList<aNode *> nodes;

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

    std::unique_ptr<Recorder> recorder;

    void setupTrends();
    TrendModel *trendModel = nullptr;
    TrendWindow *trendView = nullptr;

    void setupAlarms();
    void logOperator(const QString &text);
    void watchAlarmSources();
    void watchNodeAlarms(aNode *node);
    void logNodeEvents(aNode *node);
    void followLink();
    void showAlarmCount();
    AlarmList *alarmList = nullptr;
    EventHistory *history = nullptr;
    CheckedAppend *historyFile = nullptr;
    QToolButton *alarmCounter = nullptr;
    AlarmWindow *alarmView = nullptr;
    HistoryWindow *historyView = nullptr;
    bool linkWasUp = false;
};
