// The link to the message server as the operator sees it: the status bar
// text, and the refusal of actions that cannot reach the hardware.
#include "window/body.h"

#include "bus/telso.h"
#include "config/config.h"
#include "diagram/gview.h"

#include <QLabel>
#include <QStatusBar>

#include <cmath>
#include <limits>

namespace {

// How long "nothing was sent" stays in the status bar (ms).
constexpr int refusalShownFor = 10000;

QString clockText(const QDateTime &t)
{
    return t.toString(QStringLiteral("HH:mm:ss"));
}

} // namespace

// Seconds, decimals allowed, as milliseconds up to cap; 0 for anything that
// is not a positive number.
static int msecFor(const QString &seconds, int cap)
{
    bool ok = false;
    const double s = seconds.toDouble(&ok);
    if (!ok || !std::isfinite(s) || s <= 0)
        return 0;
    const double msec = std::min(s * 1000.0, double(cap));
    // A positive setting never rounds down to "off".
    return std::max(1, int(std::lround(msec)));
}

void Body::setupLink()
{
    // The link's state stays in view; passing messages take the rest of the bar.
    keyLabel = new QLabel(keyText());
    keyLabel->setVisible(!keyLabel->text().isEmpty());
    statusbar->addPermanentWidget(keyLabel);
    linkLabel = new QLabel;
    statusbar->addPermanentWidget(linkLabel);
    connect(bus, &Telso::linkChanged, this, &Body::showLinkState);
    bus->setReconnectDelay(reconnectDelay(config.value(QStringLiteral("TELSO_RECONNECT"), QStringLiteral("1"))));
    bus->setLinkTimeout(linkTimeout(config.value(QStringLiteral("LINK_TIMEOUT"), QStringLiteral("10"))));
    showLinkState();
    bus->connectToServer();
}

int Body::reconnectDelay(const QString &seconds)
{
    return msecFor(seconds, Telso::MaxReconnectDelay);
}

int Body::linkTimeout(const QString &seconds)
{
    return msecFor(seconds, std::numeric_limits<int>::max());
}

QString Body::linkText() const
{
    const QString server = QStringLiteral("%1:%2").arg(bus->ip).arg(Telso::portNumber(bus->port));
    const QDateTime next = bus->nextAttemptAt();
    const QDateTime lost = bus->lostAt();
    switch (bus->linkState()) {
    case Telso::LinkConnecting:
        return tr("Connecting to %1...").arg(server);
    case Telso::LinkUp:
        return tr("Logged in as %1").arg(bus->name);
    case Telso::LinkDown:
        if (bus->downReason() == Telso::DownRefused) {
            if (next.isValid())
                return tr("Login to %1 failed: %2; next attempt at %3").arg(server, bus->refusal(), clockText(next));
            return tr("Login to %1 failed: %2; no further attempts").arg(server, bus->refusal());
        }
        if (bus->downReason() == Telso::DownStalled && lost.isValid()) {
            if (next.isValid())
                return tr("Server not responding since %1; next attempt at %2").arg(clockText(lost), clockText(next));
            return tr("Server not responding since %1; no further attempts").arg(clockText(lost));
        }
        if (lost.isValid()) {
            if (next.isValid())
                return tr("Connection lost at %1; next attempt at %2").arg(clockText(lost), clockText(next));
            return tr("Connection lost at %1; no further attempts").arg(clockText(lost));
        }
        if (next.isValid())
            return tr("Cannot connect to %1; next attempt at %2").arg(server, clockText(next));
        return tr("Cannot connect to %1; no further attempts").arg(server);
    default:
        return tr("Not connected to %1").arg(server);
    }
}

void Body::showLinkState()
{
    linkLabel->setText(linkText());
    // The diagram shows whether what it draws is live.
    display->setLive(bus->isLoggedIn());
}

QString Body::keyText() const
{
    const QString file = bus->keyFile + QStringLiteral(".key");
    switch (bus->keyState()) {
    case Telso::KeyFileMissing:
        return tr("Key file %1 not found: logging in with an empty key").arg(file);
    case Telso::KeyFileEmpty:
        return tr("Key file %1 holds no key: logging in with an empty key").arg(file);
    default:
        return QString();
    }
}

void Body::commandNotSent()
{
    statusbar->showMessage(bus->isLoggedIn() ? tr("Server not responding: nothing was sent")
                                             : tr("Not connected: nothing was sent"),
                           refusalShownFor);
}

void Body::showRefusal(const QString &text)
{
    statusbar->showMessage(text, refusalShownFor);
}
