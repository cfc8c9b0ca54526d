#include "GuardedServer.h"

#include "DeadlineStream.h"

#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <system_error>
#include <thread>

namespace {

using namespace std::chrono_literals;
using Clock = DeadlineStream::Clock;

// Beyond the cap, connections wait in the system's queue until one ends: every connection ends
// within its deadlines, so a waiting health check is soon served.
constexpr int maxConnections = 32;
// Waiting for the next request counts as taking time over its headers.
constexpr auto headerTime = 3s;
constexpr size_t maxHeaderBytes = 64 * 1024;
// The rest of a request: its body at no less than 1 MiB/s, the work and the answer.
constexpr auto restTime = 3s;
constexpr uint64_t minBytesPerSecond = 1024 * 1024;
// How long a closing connection waits for the client to stop sending.
constexpr auto lingerTime = 1s;

// The handlers run on the thread that reads their connection.
thread_local bool answerEndsConnection = false;

// Reading on for a moment after the answer lets the client take it in before the connection resets.
void closeGently(int socket, DeadlineStream &stream)
{
    ::shutdown(socket, SHUT_WR);
    stream.limit(Clock::now() + lingerTime);
    char discarded[4096];
    while (stream.read(discarded, sizeof discarded) > 0) { }
    ::close(socket);
}

} // namespace

GuardedServer::GuardedServer()
{
    set_keep_alive_timeout(std::chrono::seconds(headerTime).count());
}

void GuardedServer::setRefusalHandler(Handler handler)
{
    set_error_handler([handler = std::move(handler)](const httplib::Request &request, httplib::Response &response) {
        answerEndsConnection = true;
        response.set_header("Connection", "close");
        handler(request, response);
    });
}

bool GuardedServer::serveConnections()
{
    // The library's queue of waiting connections is short.
    ::listen(svr_sock_, SOMAXCONN);
    for (;;) {
        takeSlot();
        const int socket = ::accept4(svr_sock_, nullptr, nullptr, SOCK_CLOEXEC);
        if (socket < 0) {
            const int error = errno;
            releaseSlot();
            if (error == EBADF || error == EINVAL || error == ENOTSOCK)
                return false;
            // Out of descriptors or memory: let the open connections finish first.
            if (error != EINTR && error != ECONNABORTED)
                std::this_thread::sleep_for(50ms);
            continue;
        }
        try {
            std::thread([this, socket] {
                serveConnection(socket);
                releaseSlot();
            }).detach();
        } catch (const std::system_error &) {
            ::close(socket);
            releaseSlot();
        }
    }
}

void GuardedServer::serveConnection(int socket)
{
    DeadlineStream stream(socket);
    const auto afterHeaders = [&stream, this](httplib::Request &request) {
        const uint64_t length = std::min<uint64_t>(request.get_header_value<uint64_t>("Content-Length"),
                                                   payload_max_length_);
        stream.limit(Clock::now() + restTime + std::chrono::seconds(length / minBytesPerSecond));
    };
    for (size_t left = keep_alive_max_count_; left > 0; --left) {
        stream.limit(Clock::now() + headerTime, maxHeaderBytes);
        answerEndsConnection = false;
        bool clientCloses = false;
        if (!process_request(stream, left == 1, clientCloses, afterHeaders) || clientCloses || answerEndsConnection)
            break;
    }
    closeGently(socket, stream);
}

void GuardedServer::takeSlot()
{
    std::unique_lock lock(mutex_);
    slotFreed_.wait(lock, [this] { return openConnections_ < maxConnections; });
    ++openConnections_;
}

void GuardedServer::releaseSlot()
{
    {
        const std::lock_guard lock(mutex_);
        --openConnections_;
    }
    slotFreed_.notify_one();
}
