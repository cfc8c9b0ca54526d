#pragma once

#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <cstdio>

// Stops the run at a broken property and names it; libFuzzer keeps the input that did it.
#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "fuzz check failed: %s (%s:%d)\n", #condition, __FILE__, __LINE__); \
            __builtin_trap();                                                                      \
        }                                                                                          \
    } while (false)

inline QByteArray fuzzBytes(const std::uint8_t *data, std::size_t size)
{
    return QByteArray(reinterpret_cast<const char *>(data), qsizetype(size));
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size);
