#include "bus/commandtable.h"

// Interface stub.
const CommandRow CommandTable[] = {{"", 14}};
int commandCode(const QString &) { return CmdUnknown; }
