#pragma once

class TMsg;

// Something the bus client hands messages to: a request addressed to one of
// the receiver's names, or a report from a device it follows. The bus client
// looks up who is meant; the receiver still checks for itself.
class BusReceiver
{
public:
    virtual ~BusReceiver() = default;

    virtual void takeRequest(const TMsg &msg) = 0;
    virtual void takeReport(const TMsg &msg) = 0;
};
