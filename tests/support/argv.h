#pragma once

#include <QByteArray>
#include <QList>
#include <QStringList>

// An argv for the program's argument readers, kept alive with its texts.
struct Argv
{
    explicit Argv(const QStringList &args)
    {
        for (const QString &arg : args)
            texts << arg.toUtf8();
        for (QByteArray &text : texts)
            pointers << text.data();
    }
    Q_DISABLE_COPY(Argv)
    int argc() const { return int(pointers.size()); }
    char **argv() { return pointers.data(); }

    QList<QByteArray> texts;
    QList<char *> pointers;
};
