#include "DeadlineStream.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

bool isRetry(int error)
{
    return error == EINTR || error == EAGAIN || error == EWOULDBLOCK;
}

void endpoint(int socket, bool peer, std::string &ip, int &port)
{
    sockaddr_in address{};
    socklen_t length = sizeof address;
    auto *raw = reinterpret_cast<sockaddr *>(&address);
    char text[INET_ADDRSTRLEN] = {};
    // The service listens on IPv4 loopback only.
    if ((peer ? ::getpeername(socket, raw, &length) : ::getsockname(socket, raw, &length)) == 0
        && address.sin_family == AF_INET && ::inet_ntop(AF_INET, &address.sin_addr, text, sizeof text)) {
        port = ntohs(address.sin_port);
    }
    ip = text;
}

} // namespace

void DeadlineStream::limit(Clock::time_point deadline, size_t maxBytes)
{
    deadline_ = deadline;
    bytesLeft_ = maxBytes;
}

bool DeadlineStream::is_readable() const
{
    return start_ < end_ || waitFor(POLLIN);
}

bool DeadlineStream::is_writable() const
{
    return waitFor(POLLOUT);
}

ssize_t DeadlineStream::read(char *data, size_t size)
{
    if (bytesLeft_ == 0)
        return -1;
    while (start_ == end_) {
        if (!waitFor(POLLIN))
            return -1;
        // Without waiting: poll has said so, and a blocking call would outlive the deadline.
        const ssize_t received = ::recv(socket_, buffer_.data(), buffer_.size(), MSG_DONTWAIT);
        if (received == 0 || (received < 0 && !isRetry(errno)))
            return received;
        if (received > 0) {
            start_ = 0;
            end_ = size_t(received);
        }
    }
    const size_t count = std::min({size, end_ - start_, bytesLeft_});
    std::memcpy(data, buffer_.data() + start_, count);
    start_ += count;
    bytesLeft_ -= count;
    return ssize_t(count);
}

ssize_t DeadlineStream::write(const char *data, size_t size)
{
    for (;;) {
        if (!waitFor(POLLOUT))
            return -1;
        const ssize_t sent = ::send(socket_, data, size, MSG_DONTWAIT | MSG_NOSIGNAL);
        if (sent >= 0 || !isRetry(errno))
            return sent;
    }
}

void DeadlineStream::get_remote_ip_and_port(std::string &ip, int &port) const
{
    endpoint(socket_, true, ip, port);
}

void DeadlineStream::get_local_ip_and_port(std::string &ip, int &port) const
{
    endpoint(socket_, false, ip, port);
}

bool DeadlineStream::waitFor(short events) const
{
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline_ - Clock::now()).count();
        if (left <= 0)
            return false;
        pollfd watched{socket_, events, 0};
        const int ready = ::poll(&watched, 1, int(std::min<decltype(left)>(left, 60000)));
        if (ready > 0)
            return true;
        if (ready < 0 && errno != EINTR)
            return false;
    }
}
