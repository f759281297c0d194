#pragma once

#include <QString>
#include <QTemporaryDir>

// Makes a fresh temporary directory the current working directory for as long
// as it lives (the program writes its logs and reads its key file there).
class TempWorkDir
{
public:
    TempWorkDir();
    ~TempWorkDir();

    QString path() const { return dir.path(); }
    QString filePath(const QString &name) const { return dir.filePath(name); }
    // Writes text (UTF-8) to name inside the directory; returns its path.
    QString write(const QString &name, const QByteArray &text) const;
    QByteArray read(const QString &name) const;

private:
    Q_DISABLE_COPY(TempWorkDir)
    QTemporaryDir dir;
    QString previous;
};
