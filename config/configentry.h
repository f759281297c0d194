#pragma once

#include <QString>
#include <QtGlobal>

// One line of the configuration: the key, its first item, and the raw text
// after the key (which still holds the value) for callers that split further.
// file and line say where it was written; command-line options have neither.
struct ConfigEntry
{
    QString key;
    QString value;
    QString rest;
    QString file;
    int line = 0;
};
// Moved, not copied, as a configuration of many thousand lines is read.
Q_DECLARE_TYPEINFO(ConfigEntry, Q_RELOCATABLE_TYPE);
