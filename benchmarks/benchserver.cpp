#include "benchserver.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTcpSocket>
#include <QTimer>

#include <cstring>

BenchServer::BenchServer(bool withLogin, QObject *parent) : QObject(parent), loginPending(withLogin)
{
    connect(&server, &QTcpServer::newConnection, this, &BenchServer::accept);
    server.listen(QHostAddress::LocalHost, 0);
}

void BenchServer::accept()
{
    while (QTcpSocket *next = server.nextPendingConnection()) {
        if (client) {
            next->abort();
            next->deleteLater();
            continue;
        }
        client = next;
        client->setParent(this);
        // A relay forwards each line at once; without this a line sent while
        // earlier ones wait for their acknowledgement would be held back.
        client->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        connect(client, &QTcpSocket::readyRead, this, &BenchServer::read);
        if (loginPending)
            client->write("0\n");
    }
}

void BenchServer::send(const QByteArray &bytes)
{
    if (client)
        client->write(bytes);
}

void BenchServer::read()
{
    QByteArray data = client->readAll();
    qsizetype start = 0;
    if (loginPending) {
        partial += data;
        const qsizetype lf = partial.indexOf('\n');
        if (lf < 0)
            return;
        loginPending = false;
        client->write("Welcome\n");
        data = partial.mid(lf + 1);
        partial.clear();
    }
    const char *bytes = data.constData();
    const qsizetype size = data.size();
    if (!onLine) {
        for (const char *p = bytes; (p = static_cast<const char *>(std::memchr(p, '\n', size - (p - bytes)))); ++p)
            ++lineCount;
        return;
    }
    while (start < size) {
        const char *lf = static_cast<const char *>(std::memchr(bytes + start, '\n', size - start));
        if (!lf) {
            partial.append(bytes + start, size - start);
            break;
        }
        const qsizetype end = lf - bytes;
        ++lineCount;
        if (partial.isEmpty()) {
            onLine(QByteArrayView(bytes + start, end - start));
        } else {
            partial.append(bytes + start, end - start);
            onLine(partial);
            partial.clear();
        }
        start = end + 1;
    }
}

bool waitUntil(const std::function<bool()> &done, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    QTimer wake;
    wake.start(20);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}
