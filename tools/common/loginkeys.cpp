#include "common/loginkeys.h"

#include <QFile>
#include <QTextStream>

bool LoginKeys::load(const QString &path, QString *error)
{
    keys.clear();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    QTextStream in(&file);
    in.setEncoding(QStringConverter::Utf8);
    while (!in.atEnd()) {
        const QString key = in.readLine().simplified();
        if (!key.isEmpty())
            keys.append(key);
    }
    return true;
}

QString LoginKeys::keyFor(qint64 challenge) const
{
    if (keys.isEmpty())
        return QString();
    const qint64 n = keys.size();
    return keys.at(((challenge % n) + n) % n);
}

qint64 LoginKeys::challengeNumber(const QByteArray &line)
{
    bool ok = false;
    const qint64 n = line.simplified().toLongLong(&ok);
    return ok ? n : 0;
}
