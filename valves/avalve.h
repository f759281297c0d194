#pragma once

#include "nodes/anode.h"
#include "ui_avalve.h"
#include "nodes/style.h"

#include <QLineEdit>
#include <QList>

#include <functional>

class QMessageBox;

// An on/off valve on one channel of a hardware node. A normally-on valve is
// open while its channel is off, so every command and reading is inverted.
class aValve : public aNode, private Ui_aValve
{
    Q_OBJECT

public:
    aValve(const QString &nodeName, int panelColumn, const QString &gas, double cf, const QString &lineName,
           const QString &hwNode, const QString &channel, int x, int y, int w, int h, Telso *telso,
           const QString &flagWord);
    ~aValve() override;

    QString typeName() const override;
    bool isOn() const override;
    void doubleClickAction() override;
    void appendStatusText(QString &out) const override;
    QString deviceText() const override;
    void takeReport(const TMsg &m) override;
    bool takeRouteFlow(const QString &flowText, double &kept) override;
    void stop() override;
    QString recordText() const override;

    QLineEdit *timeToOpenField();
    QLineEdit *timeToCloseField();
    // Shows a time field, styled only then: most valves keep theirs hidden,
    // and a styled field costs memory and start-up time.
    void showTimeField(QLineEdit *field);

    // Called with every refusal box right after it is shown, so that a
    // caller (the tests) can look at it without a person dismissing it.
    static std::function<void(QMessageBox *)> refusalShown;

    bool normallyOn = false;
    QList<aValve *> exclusiveValves;

signals:
    void triedToOpenExclusiveValves();
    // Its conditions kept the valve from opening or closing.
    void actionRefused(const QString &message);
    // A timed opening or closing was carried out, or skipped (text says which).
    void timedAction(const QString &text);

public slots:
    void openClose();
    void showStat(bool s);

private slots:
    void connected0() override;

public slots:
    void AnsIsOn(const TMsg &m);
    void EvChangedIsOn(const TMsg &m);
    void actionTimeToOpen();
    void actionTimeToClose();
    void tickTimeToOpen(int remain_msec);
    void tickTimeToClose(int remain_msec);
    void showBlankTimeToOpen();
    void showBlankTimeToClose();
    void newTimeToOpen();
    void newTimeToClose();
    void vOpen(bool open = true);
    void vClose();

private:
    Q_DISABLE_COPY(aValve)

    void buttonClicked();
    // Most valves never count down: their time fields are made when first
    // needed, which saves a large plant two fields per valve at start-up.
    void makeTimeFields();
    QLineEdit *makeTimeField(const QString &name, const QString &toolTip, int row);
    void showCountdown(QLineEdit *field, int remain_msec);
    void timedSwitch(bool open);
    void showRefusal(const QString &message);
    void sendSwitch(bool open);
    void takePosition(const TMsg &m, bool reply);
    void askPosition();
    void refreshLook() override;
    QString reportedText() const override;

    Style style;
    QLineEdit *DispTimeToOpen = nullptr;
    QLineEdit *DispTimeToClose = nullptr;
    // The position the last command asked for.
    bool commanded = false;
};
