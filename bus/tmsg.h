#pragma once

#include <QByteArrayView>
#include <QMetaType>
#include <QString>
#include <QStringList>

// One parsed line of the message bus: "sender>destination command params".
class TMsg
{
public:
    enum MsgKind { Request = 0, Reply = 1, Event = 2, Unparsed = 3 };

    int parse(const QString &line);
    // The same; a line handed over whole is simplified in place.
    int parse(QString &&line);

    QString from;
    QString fromName;
    QString fromSub;
    QString to;
    QString toName;
    QString toSub;
    QString cmd;
    QString params;
    QStringList paramList;
    int kind = Unparsed;
    int code = 14;

    // The same from the bytes of a line as they arrive (UTF-8).
    int parseUtf8(QByteArrayView line);

private:
    void clear();
    // Fills the fields from a line as simplifying leaves it.
    template <typename Text>
    int parseSimplified(Text line);
};

Q_DECLARE_METATYPE(TMsg)
