#pragma once

#include <cerrno>
#include <span>
#include <unistd.h>

// Reads what a non-blocking pipe holds now: each read goes into the space that space() offers,
// and took(count) is told how much arrived. Returns false at end of file.
template<typename Space, typename Took>
bool readWhatThePipeHolds(int fd, Space space, Took took)
{
    for (;;) {
        const std::span<char> into = space();
        const ssize_t count = ::read(fd, into.data(), into.size());
        if (count > 0) {
            took(count);
            continue;
        }
        if (count == 0)
            return false;
        if (errno == EINTR)
            continue;
        return errno == EAGAIN || errno == EWOULDBLOCK;
    }
}
