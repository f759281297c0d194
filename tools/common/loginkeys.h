#pragma once

#include <QString>
#include <QStringList>

// The login keys of a key file and the rule that picks one for the server's
// challenge number, the same rule the panel follows.
class LoginKeys
{
public:
    // Reads every non-empty whitespace-simplified line of path as one key.
    // False when the file cannot be opened; error then says why.
    bool load(const QString &path, QString *error = nullptr);
    void setKeys(const QStringList &list) { keys = list; }

    bool isEmpty() const { return keys.isEmpty(); }
    qsizetype count() const { return keys.size(); }

    // keys[challenge mod count]; a negative challenge counts from the end
    // the way a true modulo does, so every number selects some key. Empty
    // when there are no keys.
    QString keyFor(qint64 challenge) const;

    // The challenge line read as a decimal number; 0 when it is none.
    static qint64 challengeNumber(const QByteArray &line);

private:
    QStringList keys;
};
