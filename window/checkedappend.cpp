#include "window/checkedappend.h"

#include "config/writelog.h"

#include <QFile>

#include <cstdio>

CheckedAppend::CheckedAppend(const QString &what, QObject *parent) : QObject(parent), what(what) {}

bool CheckedAppend::append(const QString &fileName, const QString &text, const QString &header)
{
    bool existed = false;
    {
        QFile probe(fileName);
        existed = probe.open(QIODevice::ReadOnly | QIODevice::Text);
    }
    const QByteArray bytes = (existed ? text : header + text).toUtf8();

    QFile file(fileName);
    const bool written = file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text) &&
                         file.write(bytes) == bytes.size() && file.flush();
    const QString why = file.errorString();
    file.close();

    if (written) {
        if (inFailure) {
            inFailure = false;
            report(
                QStringLiteral("%1 %2 is written again after %3 failed writes").arg(what, fileName).arg(failedInRun));
            emit failingChanged(false);
        }
        return true;
    }
    ++failed;
    if (!inFailure) {
        inFailure = true;
        failedInRun = 0;
        report(QStringLiteral("%1 %2 cannot be written (%3); what goes to it is lost until it can")
                   .arg(what, fileName, why));
    }
    ++failedInRun;
    emit failuresChanged(failed);
    if (failedInRun == 1)
        emit failingChanged(true);
    return false;
}

void CheckedAppend::report(const QString &text)
{
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    std::fflush(stderr);
    writeLog(text);
}
