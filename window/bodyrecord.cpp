// The daily record file: one row per valve or MFC change.
#include "window/body.h"

#include "bus/telso.h"
#include "config/numbers.h"
#include "mfc/amfc.h"
#include "nodes/anode.h"

#include <QDateTime>
#include <QFile>
#include <QTextStream>

std::function<QDateTime()> Body::clock = [] { return QDateTime::currentDateTime(); };

QString Body::recordFileName(const QDate &date) const
{
    return bus->name + QLatin1Char('-') + date.toString(QStringLiteral("yyyyMMdd")) + QStringLiteral(".log");
}

void Body::record()
{
    // One moment for the name, the seconds and the stamp, so a row written
    // at midnight cannot land in one day's file with the next day's stamp.
    const QDateTime now = clock();
    const QString name = recordFileName(now.date());

    bool existed = false;
    {
        QFile probe(name);
        existed = probe.open(QIODevice::ReadOnly | QIODevice::Text);
    }

    QFile file(name);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text))
        return;
    QTextStream out(&file);
    out.setEncoding(QStringConverter::Utf8);

    if (!existed) {
        out << "#Time";
        for (aNode *node : std::as_const(nodes)) {
            if (node->nodeKind == aNode::MFC)
                out << '\t' << node->label;
        }
        for (aNode *node : std::as_const(nodes)) {
            if (node->nodeKind == aNode::Valve)
                out << '\t' << node->label;
        }
        out << '\n';
    }

    // 64-bit seconds: a 32-bit count runs out in January 2038.
    const qint64 seconds = qint64(double(now.toMSecsSinceEpoch()) / 1000.0);
    out << QString::number(seconds);
    for (aNode *node : std::as_const(nodes)) {
        if (node->nodeKind == aNode::MFC)
            out << '\t' << shortest(static_cast<aMFC *>(node)->shownFlow());
    }
    for (aNode *node : std::as_const(nodes)) {
        if (node->nodeKind == aNode::Valve)
            out << '\t' << (node->isOn() ? '1' : '0');
    }
    out << '\t' << now.toString(QStringLiteral("# yy/MM/dd hh.mm.ss.zz")) << '\n';
    out.flush();
    file.close();
}
