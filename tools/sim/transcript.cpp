#include "transcript.h"

#include <QTime>

#include <cstdio>

void Transcript::received(const QString &client, const QString &line)
{
    write(QStringLiteral("<- %1: %2").arg(client, line));
}

void Transcript::sent(const QString &client, const QString &line)
{
    write(QStringLiteral("-> %1: %2").arg(client, line));
}

void Transcript::dropped(const QString &client, const QString &line, const QString &reason)
{
    write(QStringLiteral("xx %1: %2 (%3)").arg(client, line, reason));
}

void Transcript::unheard(const QString &sender, const QString &text)
{
    write(QStringLiteral("ev %1 %2 (no subscriber)").arg(sender, text));
}

void Transcript::note(const QString &text)
{
    write(QStringLiteral("-- ") + text);
}

void Transcript::write(const QString &text)
{
    if (quiet)
        return;
    const QByteArray line = (QTime::currentTime().toString(QStringLiteral("hh:mm:ss.zzz ")) + text).toUtf8() + '\n';
    std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
    std::fflush(stdout);
}
