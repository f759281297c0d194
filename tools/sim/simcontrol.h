#pragma once

#include "linehandler.h"

#include <QString>

class RelayServer;
class ValveHardware;

// Fault injection for tests and demonstrations: requests to the name "Sim"
// silence devices, drop clients, push raw lines, switch valve channels
// behind the panel's back and make them stick. Every request is answered
// with "Ok:" or "Er:".
class SimControl : public LineHandler
{
public:
    SimControl(RelayServer &server, ValveHardware &valves);

    static const QString Name;

    bool handle(const TMsg &msg) override;

private:
    RelayServer &server;
    ValveHardware &valves;
};
