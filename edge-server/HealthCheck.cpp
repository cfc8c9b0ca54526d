#include "HealthCheck.h"

#include "HealthRecord.h"
#include "LoopbackGet.h"

#include <cstdio>
#include <cstring>
#include <strings.h>

namespace {

// Health answers are tiny; anything larger is not ours.
constexpr size_t maxAnswerBytes = 64 * 1024;
constexpr size_t maxPathBytes = 256;

constexpr int healthy = 0;
constexpr int unhealthy = 1;
constexpr int badArguments = 2;

void report(const char *message, const char *detail = "")
{
    std::fprintf(stderr, "%s%s\n", message, detail);
}

// Decimal digits only, within [minimum, maximum].
bool parseBounded(const char *text, size_t length, long long minimum, long long maximum, long long *value)
{
    if (length == 0 || length > 9)
        return false;
    long long result = 0;
    for (size_t i = 0; i < length; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
        result = result * 10 + (text[i] - '0');
    }
    if (result < minimum || result > maximum)
        return false;
    *value = result;
    return true;
}

struct Options
{
    const char *url = nullptr;
    long long expectedPid = 0;
    long long timeoutMs = 2000;
};

bool parseOptions(int argc, char **argv, Options *options)
{
    for (int i = 1; i < argc; i += 2) {
        const char *name = argv[i];
        if (i + 1 >= argc) {
            report("参数缺少值：", name);
            return false;
        }
        const char *value = argv[i + 1];
        const size_t length = std::strlen(value);
        if (std::strcmp(name, "--check-health") == 0) {
            options->url = value;
        } else if (std::strcmp(name, "--expect-pid") == 0) {
            if (!parseBounded(value, length, 0, 999999999, &options->expectedPid)) {
                report("进程号无效：", value);
                return false;
            }
        } else if (std::strcmp(name, "--timeout-ms") == 0) {
            if (!parseBounded(value, length, 1, 600000, &options->timeoutMs)) {
                report("时限无效：", value);
                return false;
            }
        } else {
            report("无法识别的参数：", name);
            return false;
        }
    }
    if (!options->url)
        report("缺少参数：--check-health");
    return options->url != nullptr;
}

struct Target
{
    int port = 0;
    const char *path = "/";
};

// Only http://127.0.0.1:PORT/PATH or http://localhost:PORT/PATH: the check never leaves this machine.
bool parseUrl(const char *url, Target *target)
{
    const char *at = url;
    if (strncasecmp(at, "http://", 7) != 0)
        return false;
    at += 7;
    if (std::strncmp(at, "127.0.0.1:", 10) != 0 && strncasecmp(at, "localhost:", 10) != 0)
        return false;
    at += 10;
    const size_t digits = std::strspn(at, "0123456789");
    long long port = 0;
    if (!parseBounded(at, digits, 1, 65535, &port))
        return false;
    at += digits;
    if (*at != '\0' && *at != '/')
        return false;
    // The path goes into the request line as it stands: printable ASCII without spaces.
    for (const char *c = at; *c; ++c) {
        const auto byte = static_cast<unsigned char>(*c);
        if (byte <= ' ' || byte >= 0x7f || byte == '#')
            return false;
    }
    if (std::strlen(at) > maxPathBytes)
        return false;
    target->port = int(port);
    if (*at)
        target->path = at;
    return true;
}

} // namespace

int runHealthCheck(int argc, char **argv)
{
    Options options;
    if (!parseOptions(argc, argv, &options))
        return badArguments;
    Target target;
    if (!parseUrl(options.url, &target)) {
        report("健康检查地址无效：", options.url);
        return badArguments;
    }

    static char buffer[maxAnswerBytes + 1];
    LoopbackAnswer answer;
    switch (getFromLoopback(target.port, target.path, monotonicMs() + options.timeoutMs, buffer, sizeof buffer,
                            &answer)) {
    case LoopbackOutcome::answered:
        break;
    case LoopbackOutcome::noConnection:
        std::fprintf(stderr, "无法连接打印服务：127.0.0.1:%d\n", target.port);
        return unhealthy;
    case LoopbackOutcome::noAnswer:
        report("打印服务没有及时回应健康检查");
        return unhealthy;
    case LoopbackOutcome::tooLarge:
        report("该端口上运行的不是 Quillo Edge 打印服务");
        return unhealthy;
    }
    if (answer.status != 200) {
        report("打印服务的健康检查没有通过");
        return unhealthy;
    }
    HealthRecord record;
    if (!readHealthRecord(answer.body, answer.bodyLength, &record) || !record.ours || !record.ok) {
        report("该端口上运行的不是 Quillo Edge 打印服务");
        return unhealthy;
    }
    if (options.expectedPid != 0 && record.pid != options.expectedPid) {
        report("该端口上运行的是另一个打印服务进程");
        return unhealthy;
    }
    return healthy;
}
