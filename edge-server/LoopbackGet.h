#pragma once

#include <cstddef>

// One plain HTTP GET to 127.0.0.1, without Qt or the C++ runtime.
struct LoopbackAnswer
{
    int status = -1;
    const char *body = nullptr;
    size_t bodyLength = 0;
};

enum class LoopbackOutcome { answered, noConnection, noAnswer, tooLarge };

// Milliseconds of CLOCK_MONOTONIC, the clock of deadlines below.
long long monotonicMs();

// Asks 127.0.0.1:port for path (printable ASCII, at most 256 bytes) and reads the answer into
// buffer before the deadline. An answer that fills all capacity bytes is tooLarge. The answer's
// body points into buffer.
LoopbackOutcome getFromLoopback(int port, const char *path, long long deadline, char *buffer, size_t capacity,
                                LoopbackAnswer *answer);
