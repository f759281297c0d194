#pragma once

#include <QString>

// Appends one stamped line to the diagnostic log "log.log" in the current
// working directory. A file that cannot be opened loses the line.
void writeLog(const QString &text);
