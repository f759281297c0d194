#include "bus/telso.h"

// Interface stub: the bus client is implemented on its own branch.
Telso::Telso(const QString &ip, const QString &port, const QString &keyFile, const QString &name)
    : ip(ip), port(port), keyFile(keyFile), name(name)
{
}
void Telso::loadKeys(const QString &) {}
QString Telso::keyFor(int) { return QString(); }
bool Telso::connectToServer() { return false; }
void Telso::reply(const TMsg &, const QString &) {}
bool Telso::sendCommand(const QString &, const QString &, const QString &, const QString &) { return true; }
void Telso::sendEvent(const QString &, const QString &) {}
void Telso::receive() {}
void Telso::disConnect() {}
