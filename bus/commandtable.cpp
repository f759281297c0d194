#include "bus/commandtable.h"

#include <QLatin1String>

#include <iterator>

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

template <typename Text>
static int codeOf(Text word)
{
    for (const CommandRow *row = CommandTable; row->word[0] != '\0'; ++row) {
        if (word == QLatin1String(row->word))
            return row->code;
    }
    return CmdUnknown;
}

int commandCode(QStringView word)
{
    return codeOf(word);
}

int commandCode(QLatin1String word)
{
    return codeOf(word);
}

QString commandWord(int code)
{
    static const QString words[] = {
        QStringLiteral("IsBusy"),        QStringLiteral("SetNewGas"),        QStringLiteral("SetGas"),
        QStringLiteral("SetPurge"),      QStringLiteral("GetMinFlow"),       QStringLiteral("GetNowGas"),
        QStringLiteral("GetGas"),        QStringLiteral("Stat"),             QStringLiteral("@IsOn"),
        QStringLiteral("@GetValue"),     QStringLiteral("@GetSettingValue"), QStringLiteral("_ChangedIsOn"),
        QStringLiteral("_ChangedValue"), QStringLiteral("_ChangedSettingValue"),
    };
    static_assert(std::size(words) == CmdUnknown, "one word per listed code");
    return code >= 0 && code < CmdUnknown ? words[code] : QString();
}
