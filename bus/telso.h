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

    // True while lines can go out: logged in and still connected.
    bool isLoggedIn() const;
    // The port text as the socket takes it: "0x" followed by hexadecimal
    // digits or a decimal number, 0 when it is neither, low 16 bits only.
    static quint16 portNumber(const QString &text);
    // The longest line taken from the server, without its line feed.
    static constexpr int MaxLineLength = 4000;

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

    bool nextLine(QByteArray &line);
    bool writeLine(const QString &line);
    void answerChallenge(const QByteArray &line);
    void dispatch(const QByteArray &line);

    QByteArray pending;    // received bytes not yet ending in a line feed
    bool skipping = false; // inside an overlong line, dropping up to its line feed
};
