#include "support/livepanel.h"

#include "bus/telso.h"
#include "diagram/gview.h"
#include "mfc/amfc.h"
#include "support/configtext.h"
#include "valves/avalve.h"

#include <QTest>

LivePanel::LivePanel(const QByteArray &text)
{
    loadConfig(dir, "TELSO_IP 127.0.0.1\nTELSO_PORT " + server.portText().toLatin1() + '\n' + text);
    body = std::make_unique<Body>();
}

bool LivePanel::loggedIn()
{
    return QTest::qWaitFor([this] { return body->busClient()->isLoggedIn(); }, 10000);
}

QStringList LivePanel::next(int count)
{
    server.waitForLines(count);
    const QStringList got = server.lines();
    server.clearLines();
    return got;
}

aValve *LivePanel::valve(int number) const
{
    return static_cast<aValve *>(body->findNode(number, aNode::Valve));
}

aMFC *LivePanel::mfc(int number) const
{
    return static_cast<aMFC *>(body->findNode(number, aNode::MFC));
}

QImage LivePanel::diagramImage()
{
    body->diagram()->setFixedSize(400, 300);
    return body->diagram()->grab().toImage();
}

int countPixels(const QImage &image, const QRect &area, const std::function<bool(const QColor &)> &match)
{
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            count += match(image.pixelColor(x, y));
    return count;
}
