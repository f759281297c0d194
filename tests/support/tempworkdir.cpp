#include "support/tempworkdir.h"

#include <QDir>
#include <QFile>

TempWorkDir::TempWorkDir()
    : previous(QDir::currentPath())
{
    QDir::setCurrent(dir.path());
}

TempWorkDir::~TempWorkDir()
{
    QDir::setCurrent(previous);
}

QString TempWorkDir::write(const QString &name, const QByteArray &text) const
{
    const QString path = dir.filePath(name);
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(text);
    return path;
}

QByteArray TempWorkDir::read(const QString &name) const
{
    QFile file(dir.filePath(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
