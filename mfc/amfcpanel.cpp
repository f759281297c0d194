// The MFC's panel: the state, the set point typed and applied, the purge
// magnification and the information box.
#include "mfc/amfc.h"

#include "config/numbers.h"

#include <QMessageBox>

#include <cmath>

double aMFC::setSetPointText(const QString &text)
{
    NewSetPoint->setText(text);
    updateSetPoint();
    return toDecimal(NewSetPoint->text());
}

void aMFC::setPurge(double v)
{
    purge = std::isfinite(v) ? v : 0.0;
    Purge->setText(QString::number(purge, 'g', 6));
}

QWidget *aMFC::infoFrame() const
{
    return InfoFrame;
}

bool aMFC::labelShown() const
{
    return !InfoFrame->isHidden();
}

QString aMFC::displayText(double v)
{
    return QStringLiteral("%1").arg(v, 5, 'f', 1);
}

void aMFC::setClicked()
{
    emit operatorAction(tr("Set %1").arg(NewSetPoint->text()));
    // A mistyped set point ("5O") would otherwise go out as 0: it stays in
    // the field, marked, and nothing is sent.
    if (!isDecimal(NewSetPoint->text())) {
        restyle(NewSetPoint, QStringLiteral("background-color: rgb(255, 200, 200);"));
        emit setPointRefused(tr("%1: \"%2\" is not a number; nothing was sent").arg(label, NewSetPoint->text()));
        return;
    }
    // Without the server the set point would not reach the device: nothing
    // changes, and the operator is told.
    if (linkDown()) {
        emit commandNotSent();
        return;
    }
    updateSetPoint();
}

void aMFC::changeStatDisp()
{
    const int state = stat ? 0 : 1;
    const bool marked = mark() != DeviceWatch::NoMark;
    OCStat->setText(style.panelText(state, marked));
    restyle(OCStat, style.panelStyle(state, marked, linkDown()));
    OCStat->setToolTip(lookToolTip());
}

void aMFC::refreshLook()
{
    changeStatDisp();
}

void aMFC::showInfo()
{
    QString gases;
    for (aNode *child : std::as_const(children))
        if (child->isFlowing())
            gases += QStringLiteral(" %1(%2)").arg(shortest(child->cf), child->label);
    const QStringList lines = {
        tr("Setting SV = %1, MFC_SV = %2, MFC_PV = %3").arg(shortest(settingSV), shortest(mfcSV), shortest(mfcPV)),
        tr("MFC to Disp Factor = %1, Disp to MFC Factor = %2").arg(shortest(mfcToDisp()), shortest(dispToMfc())),
        tr("My Cf = %1, Cf of Gases =").arg(shortest(cf)) + gases,
    };
    // Made when first asked for: few of a large plant's MFCs are.
    if (!infoBox) {
        infoBox = new QMessageBox();
        // The operator keeps working on the panel while the box is open.
        infoBox->setModal(false);
    }
    infoBox->setText(lines.join(QLatin1Char('\n')));
    infoBox->show();
}

void aMFC::newPurge()
{
    const double before = purge;
    setPurge(toDecimal(Purge->text()));
    if (purge != before)
        emit operatorAction(tr("Purge magnification %1").arg(Purge->text()));
}
