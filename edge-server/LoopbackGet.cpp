#include "LoopbackGet.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <netinet/in.h>
#include <poll.h>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>

long long monotonicMs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1000LL + now.tv_nsec / 1000000;
}

namespace {

constexpr size_t maxPathBytes = 256;

// Up to nine decimal digits, or -1.
long long decimal(const char *text, size_t length)
{
    if (length == 0 || length > 9)
        return -1;
    long long value = 0;
    for (size_t i = 0; i < length; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return -1;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

// Waits until the socket is ready for events; false once the deadline has passed.
bool waitFor(int fd, short events, long long deadline)
{
    for (;;) {
        const long long left = deadline - monotonicMs();
        if (left <= 0)
            return false;
        pollfd entry{fd, events, 0};
        const int ready = ::poll(&entry, 1, int(left));
        if (ready > 0)
            return true; // an error too: the next call on the socket says which
        if (ready < 0 && errno != EINTR)
            return false;
    }
}

class Socket
{
public:
    Socket()
        : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0))
    {
    }
    ~Socket()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Socket(const Socket &) = delete;
    Socket &operator=(const Socket &) = delete;
    int fd() const { return fd_; }

private:
    int fd_;
};

bool connectLoopback(const Socket &socket, int port, long long deadline)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(uint16_t(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (socket.fd() < 0)
        return false;
    if (::connect(socket.fd(), reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0)
        return true;
    if (errno != EINPROGRESS && errno != EINTR)
        return false;
    int error = 0;
    socklen_t size = sizeof error;
    return waitFor(socket.fd(), POLLOUT, deadline)
        && ::getsockopt(socket.fd(), SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error == 0;
}

bool sendAll(const Socket &socket, const char *data, size_t length, long long deadline)
{
    for (size_t sent = 0; sent < length;) {
        const ssize_t count = ::send(socket.fd(), data + sent, length - sent, MSG_NOSIGNAL);
        if (count > 0)
            sent += size_t(count);
        else if (count < 0 && errno != EINTR && (errno != EAGAIN || !waitFor(socket.fd(), POLLOUT, deadline)))
            return false;
    }
    return true;
}

// Reads the head of an HTTP answer once all of it is in. bodyLength is the Content-Length, or
// SIZE_MAX when the body runs to the end of the connection.
bool readHead(const char *data, size_t length, LoopbackAnswer *answer)
{
    const auto *end = static_cast<const char *>(memmem(data, length, "\r\n\r\n", 4));
    if (!end)
        return false;
    const bool statusLine = end - data >= 12 && std::strncmp(data, "HTTP/1.", 7) == 0 && data[8] == ' ';
    answer->status = statusLine ? int(decimal(data + 9, 3)) : -1;
    answer->body = end + 4;
    answer->bodyLength = SIZE_MAX;
    // Each header line ends in CR LF; the head ends with an empty line.
    const char *headEnd = end + 2;
    for (const char *line = data;;) {
        line = static_cast<const char *>(memmem(line, size_t(headEnd - line), "\r\n", 2)) + 2;
        if (line == headEnd)
            break;
        if (strncasecmp(line, "content-length:", 15) != 0)
            continue;
        const char *value = line + 15;
        while (*value == ' ' || *value == '\t')
            ++value;
        const long long bytes = decimal(value, std::strspn(value, "0123456789"));
        answer->bodyLength = bytes >= 0 ? size_t(bytes) : SIZE_MAX;
    }
    return true;
}

} // namespace

LoopbackOutcome getFromLoopback(int port, const char *path, long long deadline, char *buffer, size_t capacity,
                                LoopbackAnswer *answer)
{
    const Socket socket;
    if (!connectLoopback(socket, port, deadline))
        return LoopbackOutcome::noConnection;
    char request[maxPathBytes + 128];
    if (std::strlen(path) > maxPathBytes)
        return LoopbackOutcome::noConnection;
    const int requestLength = std::snprintf(request, sizeof request,
                                            "GET %s HTTP/1.1\r\nHost: 127.0.0.1:%d\r\nConnection: close\r\n\r\n",
                                            path, port);
    if (!sendAll(socket, request, size_t(requestLength), deadline))
        return LoopbackOutcome::noAnswer;

    size_t used = 0;
    bool headRead = false;
    for (;;) {
        const ssize_t count = ::recv(socket.fd(), buffer + used, capacity - used, 0);
        if (count == 0)
            break;
        if (count < 0) {
            if (errno != EINTR && (errno != EAGAIN || !waitFor(socket.fd(), POLLIN, deadline)))
                return LoopbackOutcome::noAnswer;
            continue;
        }
        used += size_t(count);
        if (used == capacity)
            return LoopbackOutcome::tooLarge;
        headRead = headRead || readHead(buffer, used, answer);
        if (headRead && answer->bodyLength != SIZE_MAX && size_t(buffer + used - answer->body) >= answer->bodyLength)
            return LoopbackOutcome::answered;
    }
    if (!headRead)
        return LoopbackOutcome::noAnswer;
    const size_t received = size_t(buffer + used - answer->body);
    if (answer->bodyLength == SIZE_MAX)
        answer->bodyLength = received;
    return received >= answer->bodyLength ? LoopbackOutcome::answered : LoopbackOutcome::noAnswer;
}

