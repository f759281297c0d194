#pragma once

#include <QStringList>
#include <QtGlobal>

// Collects the program's debug output while it lives, so tests can check
// the exact texts it writes. Messages are still passed on to the previous
// handler. Not nestable.
class MessageCapture
{
public:
    MessageCapture();
    ~MessageCapture();

    QStringList messages() const;
    bool contains(const QString &text) const { return messages().contains(text); }

private:
    Q_DISABLE_COPY(MessageCapture)
    QtMessageHandler previous;
};
