#pragma once

class TMsg;

// A part of the server that answers lines itself (the simulated hardware,
// the fault-injection control) instead of relaying them to a client.
class LineHandler
{
public:
    virtual ~LineHandler() = default;
    // Takes a line addressed to one of the handler's names; false when the
    // exact address or the command is not one the handler knows.
    virtual bool handle(const TMsg &msg) = 0;
};
