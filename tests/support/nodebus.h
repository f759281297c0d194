#pragma once

#include "bus/telso.h"
#include "nodes/anode.h"
#include "support/fakeserver.h"
#include "support/tempworkdir.h"

#include <QStringList>

// A loopback message server and the program's bus client for tests of nodes.
// A plain node named "Barrier" answers "Stat"; since the client handles lines
// in order, its answer marks the end of everything sent before.
class NodeBus
{
public:
    NodeBus();

    // Logs in; what the nodes made so far send at once is kept in atLogin.
    bool login();
    // Sends each line, then returns what the program wrote since the last
    // call, up to the barrier's answer.
    QStringList settle(const QStringList &send = {});

    TempWorkDir dir;
    FakeServer server;
    Telso telso;
    aNode barrier;
    QStringList atLogin;

private:
    Q_DISABLE_COPY(NodeBus)
};

// Links the way the main window links nodes: child feeds parent.
void link(aNode *parent, aNode *child);
