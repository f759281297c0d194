#pragma once

#include "support/fakeserver.h"
#include "support/tempworkdir.h"
#include "window/body.h"

#include <QColor>
#include <QImage>

#include <functional>
#include <memory>

class aMFC;
class aValve;

// The main window built from a plant text in a folder of its own, with the
// loopback server as its message server.
struct LivePanel
{
    explicit LivePanel(const QByteArray &text);

    bool loggedIn();
    // The next count lines the panel writes, then forgotten.
    QStringList next(int count);
    aValve *valve(int number = 1) const;
    aMFC *mfc(int number = 1) const;
    // The diagram as painted at 400 x 300.
    QImage diagramImage();

    TempWorkDir dir;
    FakeServer server;
    std::unique_ptr<Body> body;
};

int countPixels(const QImage &image, const QRect &area, const std::function<bool(const QColor &)> &match);

// Puts the record and history clock back however a test ends.
struct ClockGuard
{
    ~ClockGuard() { Body::clock = [] { return QDateTime::currentDateTime(); }; }
};
