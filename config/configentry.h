#pragma once

#include <QString>

// One line of the configuration: the key, its first item, and the raw text
// after the key (which still holds the value) for callers that split further.
struct ConfigEntry
{
    QString key;
    QString value;
    QString rest;
};
