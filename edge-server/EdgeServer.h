#pragma once

#include "UploadStore.h"

#include <QString>

#include <memory>
#include <string>

class GuardedServer;

namespace httplib {
class ContentReader;
struct Request;
struct Response;
} // namespace httplib

// The stand-in print service: a management page with an upload form, and a health endpoint,
// on the loopback address only. Requests are read and answered by cpp-httplib.
class EdgeServer
{
public:
    EdgeServer(quint16 port, QString dataDir, QString version);
    ~EdgeServer();

    // Takes the port on 127.0.0.1. A Chinese message on failure, empty on success.
    QString bind();
    // Answers requests until the process ends; false when listening failed.
    bool serve();

private:
    bool isOwnAuthority(const std::string &hostAndPort) const;
    bool isOwnPage(const std::string &url) const;
    bool refuseEarly(const httplib::Request &request, httplib::Response &response) const;
    void page(const httplib::Request &request, httplib::Response &response) const;
    void health(httplib::Response &response) const;
    void upload(const httplib::Request &request, httplib::Response &response,
                const httplib::ContentReader &reader) const;

    quint16 port_;
    QString version_;
    UploadStore store_;
    std::unique_ptr<GuardedServer> server_;
};
