#include "HealthCheck.h"

#include <QDeadlineTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>

#include <httplib.h>

#include <chrono>

namespace {

// Health answers are tiny; anything larger is not ours.
constexpr uint64_t maxAnswerBytes = 64 * 1024;

} // namespace

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

    const QDeadlineTimer deadline(timeoutMs);
    const std::chrono::milliseconds limit(timeoutMs);
    httplib::Client client("127.0.0.1", target.port());
    client.set_connection_timeout(limit);
    client.set_read_timeout(limit);
    client.set_write_timeout(limit);
    const QString path = target.path(QUrl::FullyEncoded);
    const httplib::Result answer = client.Get(path.isEmpty() ? "/" : path.toStdString(),
                                              [&](uint64_t received, uint64_t) {
                                                  return received <= maxAnswerBytes && !deadline.hasExpired();
                                              });
    if (!answer) {
        *error = answer.error() == httplib::Error::Connection
            ? QStringLiteral("无法连接打印服务：127.0.0.1:%1").arg(target.port())
            : QStringLiteral("打印服务没有及时回应健康检查");
        return false;
    }
    if (answer->status != 200) {
        *error = QStringLiteral("打印服务的健康检查没有通过");
        return false;
    }
    const QJsonObject record = QJsonDocument::fromJson(QByteArray::fromStdString(answer->body)).object();
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
