#include "bus/commandtable.h"

#include <QLatin1String>

const CommandRow CommandTable[] = {
    {"IsBusy", CmdIsBusy},
    {"SetNewGas", CmdSetNewGas},
    {"SetGas", CmdSetGas},
    {"SetPurge", CmdSetPurge},
    {"GetMinFlow", CmdGetMinFlow},
    {"GetNowGas", CmdGetNowGas},
    {"GetGas", CmdGetGas},
    {"Stat", CmdStat},
    {"@IsOn", CmdAnsIsOn},
    {"@GetValue", CmdAnsGetValue},
    {"@GetSettingValue", CmdAnsGetSettingValue},
    {"_ChangedIsOn", CmdEvChangedIsOn},
    {"_ChangedValue", CmdEvChangedValue},
    {"_ChangedSettingValue", CmdEvChangedSettingValue},
    {"", CmdUnknown},
};

int commandCode(const QString &word)
{
    for (const CommandRow *row = CommandTable; row->word[0] != '\0'; ++row) {
        if (word == QLatin1String(row->word))
            return row->code;
    }
    return CmdUnknown;
}
