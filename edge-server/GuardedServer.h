#pragma once

#include <httplib.h>

#include <condition_variable>
#include <mutex>

// An HTTP server that slow or hostile clients cannot hold up or slip past: each connection has a
// thread of its own, up to a cap; each request has a deadline for its headers and one for the
// rest; and an answer of status 400 or more ends its connection, so nothing sent after a refused
// request (its body included) is ever read as a request.
class GuardedServer : public httplib::Server
{
public:
    GuardedServer();

    // Writes the text of every answer of status 400 or more.
    void setRefusalHandler(Handler handler);

    // Takes connections on the bound port; returns false when that fails for good.
    bool serveConnections();

private:
    void serveConnection(int socket);
    void takeSlot();
    void releaseSlot();

    std::mutex mutex_;
    std::condition_variable slotFreed_;
    int openConnections_ = 0;
};
