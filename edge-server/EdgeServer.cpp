#include "EdgeServer.h"

#include "HttpConnection.h"
#include "ManagementPage.h"
#include "MultipartForm.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpSocket>
#include <QUrl>
#include <QUrlQuery>

#include <cstdio>

namespace {

// Each connection may buffer a whole upload; this bounds the memory a burst of clients can take.
constexpr int maxOpenConnections = 16;

void logLine(const QString &line)
{
    std::fprintf(stderr, "%s\n", line.toUtf8().constData());
}

HttpResponse methodNotAllowed(const QByteArray &allowed)
{
    HttpResponse response = HttpResponse::text(405, QStringLiteral("不支持此请求方法"));
    response.headers.append({"Allow", allowed});
    return response;
}

} // namespace

EdgeServer::EdgeServer(quint16 port, QString dataDir, QString version, QObject *parent)
    : QObject(parent), port_(port), version_(std::move(version)), store_(std::move(dataDir))
{
    connect(&server_, &QTcpServer::pendingConnectionAvailable, this, &EdgeServer::acceptConnections);
}

QString EdgeServer::listen()
{
    if (server_.listen(QHostAddress::LocalHost, port_)) {
        logLine(QStringLiteral("打印服务已在 http://127.0.0.1:%1 上运行，版本 %2").arg(port_).arg(version_));
        return {};
    }
    if (server_.serverError() == QAbstractSocket::AddressInUseError)
        return QStringLiteral("无法在 127.0.0.1:%1 上监听，端口已被占用").arg(port_);
    return QStringLiteral("无法在 127.0.0.1:%1 上监听：%2").arg(port_).arg(server_.errorString());
}

void EdgeServer::acceptConnections()
{
    while (QTcpSocket *socket = server_.nextPendingConnection()) {
        if (openConnections_ >= maxOpenConnections) {
            socket->write(HttpResponse::text(503, QStringLiteral("服务繁忙，请稍后再试")).serialize(true));
            socket->disconnectFromHost();
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            continue;
        }
        ++openConnections_;
        connect(socket, &QObject::destroyed, this, [this] { --openConnections_; });
        new HttpConnection(socket, [this](const HttpRequest &request) { return handle(request); });
    }
}

bool EdgeServer::isOwnAuthority(const QByteArray &hostAndPort) const
{
    const QByteArray port = ':' + QByteArray::number(port_);
    const QByteArray lower = hostAndPort.toLower();
    return lower == "127.0.0.1" + port || lower == "localhost" + port;
}

HttpResponse EdgeServer::handle(const HttpRequest &request) const
{
    // Another site's page that has renamed itself to 127.0.0.1 (DNS rebinding) sends its own name.
    if (!isOwnAuthority(request.header("host")))
        return HttpResponse::text(421, QStringLiteral("请通过 http://127.0.0.1:%1 访问打印服务").arg(port_));

    const bool reads = request.method == "GET" || request.method == "HEAD";
    if (request.path == "/")
        return reads ? page(request) : methodNotAllowed("GET, HEAD");
    if (request.path == "/health")
        return reads ? health() : methodNotAllowed("GET, HEAD");
    if (request.path == "/upload")
        return request.method == "POST" ? upload(request) : methodNotAllowed("POST");
    return HttpResponse::text(404, QStringLiteral("找不到页面"));
}

HttpResponse EdgeServer::page(const HttpRequest &request) const
{
    ManagementPage model;
    model.version = version_;
    model.dataDir = store_.dataDir();
    model.files = store_.fileNames();
    const QString uploaded = QUrlQuery(QString::fromUtf8(request.query))
                                 .queryItemValue(QStringLiteral("uploaded"), QUrl::FullyDecoded);
    if (!uploaded.isEmpty())
        model.notice = QStringLiteral("已上传：%1").arg(uploaded);

    HttpResponse response;
    response.body = model.html();
    response.headers.append({QByteArray("Content-Security-Policy"),
                             QByteArray("default-src 'none'; style-src 'unsafe-inline'; form-action 'self'")});
    return response;
}

HttpResponse EdgeServer::health() const
{
    HttpResponse response;
    response.contentType = "application/json";
    response.body = QJsonDocument(QJsonObject{{"status", "ok"},
                                              {"service", "quillo-edge-server"},
                                              {"version", version_},
                                              {"pid", QCoreApplication::applicationPid()}})
                        .toJson(QJsonDocument::Compact);
    return response;
}

HttpResponse EdgeServer::upload(const HttpRequest &request) const
{
    // A form on any other site could post here too; browsers say where a post comes from.
    if (request.hasHeader("origin")) {
        const QUrl origin(QString::fromLatin1(request.header("origin")));
        const QByteArray authority = QStringLiteral("%1:%2").arg(origin.host()).arg(origin.port()).toLatin1();
        if (origin.scheme() != u"http" || !isOwnAuthority(authority))
            return HttpResponse::text(403, QStringLiteral("拒绝来自其他网站的上传"));
    }

    const auto boundary = multipartBoundary(request.header("content-type"));
    if (!boundary)
        return HttpResponse::text(415, QStringLiteral("上传需要 multipart/form-data 格式"));
    const auto file = firstMultipartFile(request.body, *boundary);
    if (!file)
        return HttpResponse::text(400, QStringLiteral("请求中没有可读取的文件"));
    if (file->fileName.isEmpty())
        return HttpResponse::text(400, QStringLiteral("请选择要上传的文件"));
    const auto name = UploadStore::plainFileName(file->fileName);
    if (!name)
        return HttpResponse::text(400, QStringLiteral("文件名无效：文件名不能包含路径、控制字符或“..”"));

    const UploadStore::Saved saved = store_.save(*name, file->content);
    if (!saved.ok) {
        logLine(QStringLiteral("保存上传的文件失败：%1").arg(saved.error));
        return HttpResponse::text(500, QStringLiteral("保存文件失败：%1").arg(saved.error));
    }
    logLine(QStringLiteral("已保存上传的文件：%1（%2 字节）").arg(saved.fileName).arg(file->content.size()));

    HttpResponse response = HttpResponse::text(303, QStringLiteral("已上传：%1").arg(saved.fileName));
    response.headers.append({"Location", "/?uploaded=" + QUrl::toPercentEncoding(saved.fileName)});
    return response;
}
