#pragma once

#include "bus/tmsg.h"

#include <QObject>
#include <QStringList>

class QTcpSocket;

// The one connection to the message server: logs in with a key from the key
// file, turns every received line into a TMsg and a signal, and writes the
// program's replies, commands and events.
class Telso : public QObject
{
    Q_OBJECT

public:
    enum LoginState { AwaitingChallenge = 0, AwaitingGreeting = 1, LoggedIn = 2 };

    Telso(const QString &ip, const QString &port, const QString &keyFile, const QString &name);

    void loadKeys(const QString &keyFile);
    QString keyFor(int n);
    bool connectToServer();

    void reply(const TMsg &msg, const QString &text);
    bool sendCommand(const QString &sub, const QString &to, const QString &cmd, const QString &params = QString());
    void sendEvent(const QString &sub, const QString &text);

    QString ip;
    QString port;
    QString keyFile;
    QString name;
    QStringList keys;
    QTcpSocket *socket = nullptr;
    int state = AwaitingChallenge;

public slots:
    void receive();
    void disConnect();

signals:
    void ready();
    void disconnected();
    void AskSetNewGas(TMsg msg);
    void AskSetPurge(TMsg msg);
    void AskGetMinFlow(TMsg msg);
    void AskGetNowGas(TMsg msg);
    void askStat(TMsg msg);
    void AnsIsOn(TMsg msg);
    void AnsGetValue(TMsg msg);
    void AnsGetSettingValue(TMsg msg);
    void EvChangedIsOn(TMsg msg);
    void EvChangedValue(TMsg msg);
    void EvChangedSettingValue(TMsg msg);

private:
    Q_DISABLE_COPY(Telso)
};
