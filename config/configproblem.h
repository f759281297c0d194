#pragma once

#include <QString>

// Something the reader had to skip or take differently from what was written,
// kept for the configuration check. line is 0 when no line applies; file is
// empty for the file named at start-up.
struct ConfigProblem
{
    QString file;
    int line = 0;
    QString text;
};
