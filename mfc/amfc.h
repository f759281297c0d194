#pragma once

#include "config/shortesttext.h"
#include "nodes/anode.h"
#include "ui_mfcc.h"
#include "nodes/style.h"

class QMessageBox;
class QTimer;

// A mass-flow controller on a gas line. The controller itself is a channel
// of a hardware node on the bus; this node sends it set values, follows the
// set value and flow it reports, shows both in display units and watches
// that the flow follows the set value.
class aMFC : public aNode, private Ui_MFCC
{
    Q_OBJECT

public:
    aMFC(const QString &nodeName, int panelColumn, const QString &gas, double cf, const QString &label,
         const QString &hwNode, const QString &channel, int x, int y, int w, int h, double minFlowA, double minFlowB,
         Telso *telso);
    ~aMFC() override;

    // The form has a widget of the same name; the node's label is meant.
    using aNode::label;

    QString typeName() const override;
    void appendStatusText(QString &out) const override;
    QString deviceText() const override;
    void takeReport(const TMsg &msg) override;
    bool takeRouteFlow(const QString &flowText, double &kept) override;
    void scaleMixture(GasMixture &shares, qsizetype from) const override;
    void takePurge(double magnification) override;
    void stop() override;
    QString recordText() const override;
    bool labelShown() const override;

    // "hwNode" or "hwNode.channel": the device's address on the bus.
    QString deviceAddress() const;
    // True when sender is the device address. Every MFC is asked this for
    // every device message on the bus, so it builds no string.
    bool isDevice(const QString &sender) const;
    // Factor from device units to display units, after the gases flowing in.
    double mfcToDisp();
    double dispToMfc();

    double setSetPointText(const QString &text);
    double shownFlow() const;
    // shownFlow() in the shortest form, as the record file writes it.
    QString shownFlowText() const { return shownText; }
    void setPurge(double v);

    // The panel part below the name row; hidden for a placeholder MFC.
    QWidget *infoFrame() const;
    // How long the flow check waits after a set-value report (ms).
    void setCheckHoldInterval(int msec);
    int checkHoldInterval() const;

    // Width 5, one decimal: the form of flows and set points on the panel.
    static QString displayText(double v);
    // Whole number, halves away from zero; clamped to the int range.
    static int roundHalfAway(double v);

    // The flow check found the measured flow off the set value; it stays so
    // until a check finds it normal again, whatever the hold in between.
    bool flowAbnormal() const { return flowAlarm; }
    QDateTime flowAlarmSince() const { return flowSince; }
    // What the alarm says, in display units as the panel shows them.
    QString flowAlarmText() const;

    double settingSV = 0.0;
    double mfcSV = 0.0;
    double mfcPV = 0.0;
    double minFlowA = 0.0;
    double minFlowB = 0.0;
    double minFlow = 0.0;
    double purge = 1.0;
    bool flowNormal = true;
    bool checkHeld = false;

signals:
    void newValue();
    // The operator's set point was not sent; text says why.
    void setPointRefused(const QString &text);
    void flowAlarmChanged(bool abnormal);

public slots:
    void updateSetPoint();
    void AskGetMinFlow(const TMsg &msg);

private slots:
    void setClicked();
    void connected0() override;
    void AnsGetValue(const TMsg &msg);
    void AnsGetSettingValue(const TMsg &msg);
    void noticedNewValue(const TMsg &msg);
    void noticedNewSettingValue(const TMsg &msg);
    void changeStatDisp();
    void newSettingValue(const TMsg &msg);
    void newFromStat() override;
    void showInfo();
    void newPurge();
    void setFloating(double val);
    void setNowSetPoint(double val);
    void timeToChkFlow();
    void chkFlow();

private:
    Q_DISABLE_COPY(aMFC)
    bool sendToDevice(const QString &text);
    void askValues();
    void takeSetValueReport(const TMsg &msg, bool reply);
    void refreshLook() override;
    QString reportedText() const override;
    void setFlowAlarm(bool on);
    void showFlowAlarm();

    Style style;
    // The flows as a status answer gives them.
    mutable ShortestText svText;
    mutable ShortestText pvText;
    bool flowAlarm = false;
    QDateTime flowSince;
    QString setPointStyle;
    // The number in the read-only Floating field, kept from when the field
    // was written: every record row of a large plant reads all of them.
    double shownValue = 0.0;
    QString shownText = QStringLiteral("0");
    // The device value the last "SetValue" asked for.
    double commandedSV = 0.0;
    QTimer *checkTimer = nullptr;
    QMessageBox *infoBox = nullptr;
};
