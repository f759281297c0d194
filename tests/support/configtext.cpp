#include "support/configtext.h"

#include "config/config.h"
#include "support/tempworkdir.h"

void loadConfig(const TempWorkDir &dir, const QByteArray &text)
{
    config.clear();
    QByteArray all = text;
    if (!all.contains("TELSO_PORT"))
        all.prepend("TELSO_PORT 1\n");
    config.readFile(dir.write(QStringLiteral("plant.cfg"), all));
}
