#include "HealthCheck.h"

#include <QDeadlineTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkProxy>
#include <QTcpSocket>
#include <QUrl>

bool checkHealth(const QString &url, qint64 expectedPid, int timeoutMs, QString *error)
{
    const QUrl target(url);
    const QString host = target.host();
    // The check never leaves this machine.
    if (!target.isValid() || target.scheme() != u"http" || target.port() <= 0
        || (host != u"127.0.0.1" && host != u"localhost")) {
        *error = QStringLiteral("健康检查地址无效：%1").arg(url);
        return false;
    }

    QDeadlineTimer deadline(timeoutMs);
    QTcpSocket socket;
    socket.setProxy(QNetworkProxy::NoProxy);
    socket.connectToHost(QStringLiteral("127.0.0.1"), static_cast<quint16>(target.port()));
    if (!socket.waitForConnected(int(deadline.remainingTime()))) {
        *error = QStringLiteral("无法连接打印服务：%1").arg(socket.errorString());
        return false;
    }
    const QByteArray path = target.path(QUrl::FullyEncoded).toUtf8();
    socket.write("GET " + (path.isEmpty() ? QByteArray("/") : path) + " HTTP/1.1\r\nHost: 127.0.0.1:"
                 + QByteArray::number(target.port()) + "\r\nConnection: close\r\n\r\n");

    QByteArray answer;
    // Health answers are tiny; anything larger is not ours.
    while (answer.size() < 64 * 1024) {
        answer += socket.readAll();
        if (socket.state() != QAbstractSocket::ConnectedState)
            break;
        if (deadline.hasExpired() || !socket.waitForReadyRead(int(deadline.remainingTime()))) {
            answer += socket.readAll();
            if (socket.state() == QAbstractSocket::ConnectedState) {
                *error = QStringLiteral("打印服务没有及时回应健康检查");
                return false;
            }
            break;
        }
    }

    if (!answer.startsWith("HTTP/1.1 200 ") && !answer.startsWith("HTTP/1.0 200 ")) {
        *error = QStringLiteral("打印服务的健康检查没有通过");
        return false;
    }
    const qsizetype bodyStart = answer.indexOf("\r\n\r\n");
    const QJsonObject record = QJsonDocument::fromJson(bodyStart < 0 ? QByteArray() : answer.mid(bodyStart + 4)).object();
    if (record.value(u"service").toString() != u"quillo-edge-server" || record.value(u"status").toString() != u"ok") {
        *error = QStringLiteral("该端口上运行的不是 Quillo Edge 打印服务");
        return false;
    }
    if (expectedPid != 0 && record.value(u"pid").toInteger() != expectedPid) {
        *error = QStringLiteral("该端口上运行的是另一个打印服务进程");
        return false;
    }
    return true;
}
