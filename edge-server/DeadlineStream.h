#pragma once

#include <httplib.h>

#include <array>
#include <chrono>
#include <cstddef>
#include <limits>

// A connection that gives up once its time or its byte allowance for the current stretch of the
// request runs out, however steadily the client trickles its bytes in.
class DeadlineStream final : public httplib::Stream
{
public:
    using Clock = std::chrono::steady_clock;

    explicit DeadlineStream(int socket) : socket_(socket) {}

    // Reads and writes fail after deadline, and reads also once maxBytes more have been read.
    void limit(Clock::time_point deadline, size_t maxBytes = std::numeric_limits<size_t>::max());

    bool is_readable() const override;
    bool is_writable() const override;
    ssize_t read(char *data, size_t size) override;
    ssize_t write(const char *data, size_t size) override;
    void get_remote_ip_and_port(std::string &ip, int &port) const override;
    void get_local_ip_and_port(std::string &ip, int &port) const override;
    int socket() const override { return socket_; }

private:
    bool waitFor(short events) const;

    int socket_;
    Clock::time_point deadline_;
    size_t bytesLeft_ = 0;
    std::array<char, 16384> buffer_{};
    size_t start_ = 0;
    size_t end_ = 0;
};
