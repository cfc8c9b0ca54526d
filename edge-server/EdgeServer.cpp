#include "EdgeServer.h"

#include "GuardedServer.h"
#include "ManagementPage.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>

namespace {

// Each connection may hold one upload in memory; their cap bounds how many at once.
constexpr size_t maxBodyBytes = 32 * 1024 * 1024;

void logLine(const QString &line)
{
    std::fprintf(stderr, "%s\n", line.toUtf8().constData());
}

void answerText(httplib::Response &response, int status, const QString &message)
{
    response.status = status;
    response.set_content((message + u'\n').toStdString(), "text/plain; charset=utf-8");
}

void methodNotAllowed(httplib::Response &response, const char *allowed)
{
    answerText(response, 405, QStringLiteral("不支持此请求方法"));
    response.set_header("Allow", allowed);
}

// The library's default also sets SO_REUSEPORT, which would let a second process take the same
// port beside a running service instead of failing.
void reuseAddressOnly(int socket)
{
    const int yes = 1;
    ::setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
}

// Why the port cannot be taken, asked of the system with the same options the server uses.
int bindErrno(quint16 port)
{
    const int probe = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (probe < 0)
        return errno;
    reuseAddressOnly(probe);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const int result = ::bind(probe, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0 ? 0 : errno;
    ::close(probe);
    return result;
}

} // namespace

EdgeServer::EdgeServer(quint16 port, QString dataDir, QString version)
    : port_(port), version_(std::move(version)), store_(std::move(dataDir)),
      server_(std::make_unique<GuardedServer>())
{
    GuardedServer &server = *server_;
    server.set_socket_options(reuseAddressOnly);
    server.set_payload_max_length(maxBodyBytes);
    server.set_default_headers({{"Cache-Control", "no-store"}, {"X-Content-Type-Options", "nosniff"}});

    server.set_pre_routing_handler([this](const httplib::Request &request, httplib::Response &response) {
        return refuseEarly(request, response) ? httplib::Server::HandlerResponse::Handled
                                                : httplib::Server::HandlerResponse::Unhandled;
    });
    server.Get("/", [this](const httplib::Request &request, httplib::Response &response) { page(request, response); });
    server.Get("/health", [this](const httplib::Request &, httplib::Response &response) { health(response); });
    server.Post("/upload", [this](const httplib::Request &request, httplib::Response &response,
                                  const httplib::ContentReader &reader) { upload(request, response, reader); });
    server.Get("/upload", [](const httplib::Request &, httplib::Response &response) {
        methodNotAllowed(response, "POST");
    });
    for (const char *path : {"/", "/health"}) {
        server.Post(path, [](const httplib::Request &, httplib::Response &response) {
            methodNotAllowed(response, "GET, HEAD");
        });
    }
    // Answers the library makes itself (404, 413, 400 …) get a short Chinese text too.
    server.setRefusalHandler([](const httplib::Request &, httplib::Response &response) {
        if (!response.body.empty())
            return;
        answerText(response, response.status,
                   response.status == 404 ? QStringLiteral("找不到页面") : QStringLiteral("请求无效"));
    });
}

EdgeServer::~EdgeServer() = default;

QString EdgeServer::bind()
{
    if (server_->bind_to_port("127.0.0.1", port_))
        return {};
    const int error = bindErrno(port_);
    if (error == EADDRINUSE)
        return QStringLiteral("无法在 127.0.0.1:%1 上监听，端口已被占用").arg(port_);
    return QStringLiteral("无法在 127.0.0.1:%1 上监听：%2").arg(port_).arg(QString::fromLocal8Bit(std::strerror(error)));
}

bool EdgeServer::serve()
{
    logLine(QStringLiteral("打印服务已在 http://127.0.0.1:%1 上运行，版本 %2").arg(port_).arg(version_));
    return server_->serveConnections();
}

bool EdgeServer::isOwnAuthority(const std::string &hostAndPort) const
{
    const QString lower = QString::fromStdString(hostAndPort).toLower();
    const QString port = QString::number(port_);
    return lower == QStringLiteral("127.0.0.1:") + port || lower == QStringLiteral("localhost:") + port;
}

bool EdgeServer::isOwnPage(const std::string &url) const
{
    const QUrl parsed(QString::fromStdString(url), QUrl::StrictMode);
    // QUrl keeps the host in lower case.
    return parsed.isValid() && parsed.scheme() == u"http" && parsed.port() == port_
        && (parsed.host() == u"127.0.0.1" || parsed.host() == u"localhost");
}

// Runs before any body is read. True when the request was refused.
bool EdgeServer::refuseEarly(const httplib::Request &request, httplib::Response &response) const
{
    // Another site's page that has renamed itself to 127.0.0.1 (DNS rebinding) sends its own name.
    if (request.get_header_value_count("Host") != 1 || !isOwnAuthority(request.get_header_value("Host"))) {
        answerText(response, 421, QStringLiteral("请通过 http://127.0.0.1:%1 访问打印服务").arg(port_));
        return true;
    }
    // A body must state its length, which bounds what a connection holds: the library would read
    // a chunked body of any size.
    const bool reads = request.method == "GET" || request.method == "HEAD";
    if (request.has_header("Transfer-Encoding") || (!reads && !request.has_header("Content-Length"))) {
        answerText(response, 411, QStringLiteral("请求需要 Content-Length"));
        return true;
    }
    // The library reads no body of a GET: it would be taken for the next request.
    if (reads && request.get_header_value<uint64_t>("Content-Length") > 0) {
        answerText(response, 400, QStringLiteral("请求无效"));
        return true;
    }
    if (request.get_header_value<uint64_t>("Content-Length") > maxBodyBytes) {
        answerText(response, 413, QStringLiteral("上传的文件过大"));
        return true;
    }
    // A form on any other site could post here too. Browsers say where a post comes from, in
    // Origin, or at least in Referer; a post that says neither is not from this page.
    const char *from = request.has_header("Origin") ? "Origin" : "Referer";
    if (!reads && !isOwnPage(request.get_header_value(from))) {
        answerText(response, 403, QStringLiteral("拒绝来自其他网站的上传"));
        return true;
    }
    return false;
}

void EdgeServer::page(const httplib::Request &request, httplib::Response &response) const
{
    ManagementPage model;
    model.version = version_;
    model.dataDir = store_.dataDir();
    model.files = store_.fileNames();
    const QString uploaded = QString::fromStdString(request.get_param_value("uploaded"));
    if (!uploaded.isEmpty())
        model.notice = QStringLiteral("已上传：%1").arg(uploaded);

    const QByteArray html = model.html();
    response.set_content(html.constData(), size_t(html.size()), "text/html; charset=utf-8");
    response.set_header("Content-Security-Policy",
                        "default-src 'none'; style-src 'unsafe-inline'; form-action 'self'; frame-ancestors 'none'");
}

void EdgeServer::health(httplib::Response &response) const
{
    const QByteArray body = QJsonDocument(QJsonObject{{"status", "ok"},
                                                      {"service", "quillo-edge-server"},
                                                      {"version", version_},
                                                      {"pid", QCoreApplication::applicationPid()}})
                                .toJson(QJsonDocument::Compact);
    response.set_content(body.constData(), size_t(body.size()), "application/json");
}

void EdgeServer::upload(const httplib::Request &request, httplib::Response &response,
                        const httplib::ContentReader &reader) const
{
    if (!request.is_multipart_form_data()) {
        answerText(response, 415, QStringLiteral("上传需要 multipart/form-data 格式"));
        return;
    }
    // The page's form sends the file as the field "file". It is kept once, as it arrives; the
    // other fields are passed over.
    std::optional<QByteArray> clientName;
    QByteArray content;
    bool inFile = false;
    const bool complete = reader(
        [&](const httplib::MultipartFormData &part) {
            inFile = part.name == "file" && !clientName;
            if (inFile)
                clientName = QByteArray::fromStdString(part.filename);
            return true;
        },
        [&](const char *data, size_t size) {
            if (inFile)
                content.append(data, qsizetype(size));
            return true;
        });
    if (!complete || !clientName) {
        answerText(response, 400, QStringLiteral("请求中没有可读取的文件"));
        return;
    }
    if (clientName->isEmpty()) {
        answerText(response, 400, QStringLiteral("请选择要上传的文件"));
        return;
    }
    const auto name = UploadStore::plainFileName(*clientName);
    if (!name) {
        answerText(response, 400, QStringLiteral("文件名无效：文件名不能包含路径、控制字符或“..”"));
        return;
    }

    const UploadStore::Saved saved = store_.save(*name, content);
    if (!saved.ok) {
        logLine(QStringLiteral("保存上传的文件失败：%1").arg(saved.error));
        answerText(response, 500, QStringLiteral("保存文件失败：%1").arg(saved.error));
        return;
    }
    logLine(QStringLiteral("已保存上传的文件：%1（%2 字节）").arg(saved.fileName).arg(content.size()));
    answerText(response, 303, QStringLiteral("已上传：%1").arg(saved.fileName));
    response.set_header("Location", ("/?uploaded=" + QUrl::toPercentEncoding(saved.fileName)).toStdString());
}
