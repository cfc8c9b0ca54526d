#include "LocalHttpsServer.h"

#include <QFile>

#include <httplib.h>

#include <csignal>

namespace {

constexpr size_t pieceSize = 256 << 10;
const std::string octetStream = "application/octet-stream"; // never compressed on the way

// Large and endless bodies go out piece by piece as the connection drains.
void respond(const ScriptedResponse &scripted, httplib::Response &response)
{
    response.status = scripted.status;
    for (const auto &[name, value] : scripted.headers)
        response.set_header(name.toStdString(), value.toStdString());
    const std::string body = scripted.body.toStdString();
    if (scripted.endless) { // no length: the end of the connection ends the answer
        const std::string piece
            = (scripted.body.isEmpty() ? QByteArray("x") : scripted.body).repeated(4096).toStdString();
        response.set_content_provider(octetStream, [piece](size_t, httplib::DataSink &sink) {
            return sink.write(piece.data(), piece.size());
        });
    } else if (!scripted.bodyFile.isEmpty()) {
        auto file = std::make_shared<QFile>(scripted.bodyFile);
        file->open(QIODevice::ReadOnly); // or it answers nothing: the client sees a short body
        response.set_content_provider(size_t(file->size()), octetStream,
                                      [file](size_t, size_t length, httplib::DataSink &sink) {
                                          const QByteArray piece = file->read(qint64(std::min(length, pieceSize)));
                                          return !piece.isEmpty()
                                              && sink.write(piece.constData(), size_t(piece.size()));
                                      });
    } else if (scripted.announcedLength) { // the connection closes once the body is out
        response.set_content_provider(size_t(*scripted.announcedLength), octetStream,
                                      [body](size_t offset, size_t, httplib::DataSink &sink) {
                                          return offset < body.size()
                                              && sink.write(body.data() + offset, body.size() - offset);
                                      });
    } else {
        response.set_content(body, octetStream);
    }
}

} // namespace

LocalHttpsServer::LocalHttpsServer(const TestCertificate &certificate)
    : server_(std::make_unique<httplib::SSLServer>(certificate.certificatePath().toLocal8Bit().constData(),
                                                   certificate.keyPath().toLocal8Bit().constData()))
{
    // A client that hangs up mid-answer must fail the write, not end the process.
    std::signal(SIGPIPE, SIG_IGN);
    server_->set_keep_alive_max_count(1);
    // A connection the client opened but never used holds the server's end this long.
    server_->set_keep_alive_timeout(1);
    server_->set_pre_routing_handler([this](const httplib::Request &request, httplib::Response &response) {
        RecordedRequest recorded{QByteArray::fromStdString(request.method),
                                 QByteArray::fromStdString(request.target),
                                 {}};
        for (const auto &[name, value] : request.headers)
            recorded.headers.insert(QByteArray::fromStdString(name).toLower(), QByteArray::fromStdString(value));
        std::unique_lock lock(mutex_);
        requests_.append(recorded);
        const ScriptedResponse scripted
            = routes_.value(recorded.url().path(), ScriptedResponse::withStatus(404, "not found"));
        lock.unlock();
        respond(scripted, response);
        return httplib::Server::HandlerResponse::Handled;
    });
    port_ = server_->is_valid() ? server_->bind_to_any_port("127.0.0.1") : -1;
    if (port_ > 0) {
        thread_ = std::thread([this] { server_->listen_after_bind(); });
        while (!server_->is_running()) // a stop before the server runs would not reach it
            std::this_thread::yield();
    }
}

LocalHttpsServer::~LocalHttpsServer()
{
    if (thread_.joinable()) {
        server_->stop();
        thread_.join();
    }
}

void LocalHttpsServer::route(const QString &path, ScriptedResponse response)
{
    const std::lock_guard lock(mutex_);
    routes_.insert(path, std::move(response));
}

const QList<RecordedRequest> &LocalHttpsServer::requests() const
{
    const std::lock_guard lock(mutex_);
    requestsSeen_ = requests_;
    return requestsSeen_;
}
