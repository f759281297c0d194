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

QByteArray diamondPlant(int layers)
{
    QByteArray t =
        "VALVE 1 0 N2 1 A Dev c1 30 2 1 1\nVALVE 2 1 Ar 1 B Dev c2 70 2 1 1\nMFC 1 0 N2 1 M Dev m 50 98 5 1\n"
        "CONNECT VALVE 1 NODE 1\nCONNECT VALVE 2 NODE 2\nTELSO_CH Top MFC 1\n";
    for (int l = 0; l < layers; ++l) {
        for (int k = 1; k <= 2; ++k) {
            const int n = 2 * l + k;
            t += QString("NODE %1 - 0 \"\" %2 %3 1 1\n").arg(n).arg(k == 1 ? 30 : 70).arg(5 + 4 * l).toLatin1();
            for (int parent = 2 * l - 1; l > 0 && parent <= 2 * l; ++parent)
                t += QString::asprintf("CONNECT NODE %d NODE %d\n", parent, n).toLatin1();
        }
    }
    return t + QString("CONNECT NODE %1 MFC 1\nCONNECT NODE %2 MFC 1\n").arg(2 * layers - 1).arg(2 * layers).toLatin1();
}
