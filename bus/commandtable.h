#pragma once

#include <QString>

// The command words the program knows, with their codes; a last row with an
// empty word and code 14 ends the table.
struct CommandRow
{
    const char *word;
    int code;
};

extern const CommandRow CommandTable[];

enum CommandCode {
    CmdIsBusy = 0,
    CmdSetNewGas = 1,
    CmdSetGas = 2,
    CmdSetPurge = 3,
    CmdGetMinFlow = 4,
    CmdGetNowGas = 5,
    CmdGetGas = 6,
    CmdStat = 7,
    CmdAnsIsOn = 8,
    CmdAnsGetValue = 9,
    CmdAnsGetSettingValue = 10,
    CmdEvChangedIsOn = 11,
    CmdEvChangedValue = 12,
    CmdEvChangedSettingValue = 13,
    CmdUnknown = 14
};

// The code of word (exact, case-sensitive), CmdUnknown when it is not listed.
int commandCode(QStringView word);
int commandCode(QLatin1String word);
// The word of a listed code, as a text that costs nothing to copy; empty
// for CmdUnknown.
QString commandWord(int code);
