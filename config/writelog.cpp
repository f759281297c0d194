#include "config/writelog.h"

#include <QDateTime>
#include <QFile>
#include <QTextStream>

void writeLog(const QString &text)
{
    QFile file(QStringLiteral("log.log"));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text))
        return;
    QTextStream out(&file);
    out.setEncoding(QStringConverter::Utf8);
    out << QDateTime::currentDateTime().toString(QStringLiteral("yyMMdd hhmmss.zzz")) << " : " << text << '\n';
}
