#include "process/ProcessRun.h"

#include "process/PipeRead.h"
#include "process/Utf8PipeSink.h"
#include "text/UserFacingError.h"

#include <QList>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

[[noreturn]] void throwSystemError(int error)
{
    throw SystemError(QString::fromLocal8Bit(std::strerror(error)));
}

class Pipe
{
public:
    Pipe()
    {
        if (::pipe2(fds_, O_CLOEXEC) != 0)
            throwSystemError(errno);
#ifdef F_SETPIPE_SZ
        // A larger pipe means fewer wake-ups when a script prints a lot.
        ::fcntl(fds_[1], F_SETPIPE_SZ, 1 << 20);
#endif
        ::fcntl(fds_[0], F_SETFL, O_NONBLOCK);
    }
    ~Pipe()
    {
        closeEnd(0);
        closeEnd(1);
    }
    Pipe(const Pipe &) = delete;
    Pipe &operator=(const Pipe &) = delete;

    int readEnd() const { return fds_[0]; }
    int writeEnd() const { return fds_[1]; }
    void closeEnd(int end)
    {
        if (fds_[end] >= 0)
            ::close(fds_[end]);
        fds_[end] = -1;
    }

private:
    int fds_[2] = {-1, -1};
};

// Collects bytes with geometric growth and reads straight into the buffer.
class Sink
{
public:
    // Reads what the pipe holds now. Returns false at end of file.
    bool readAvailable(int fd)
    {
        const auto space = [this] {
            if (buffer_.size() - used_ < 64 * 1024)
                buffer_.resize(std::max<qsizetype>(buffer_.size() * 2, used_ + 256 * 1024));
            return std::span<char>(buffer_.data() + used_, size_t(buffer_.size() - used_));
        };
        return readWhatThePipeHolds(fd, space, [this](ssize_t count) { used_ += count; });
    }

    QByteArray take()
    {
        buffer_.truncate(used_);
        return std::move(buffer_);
    }

private:
    QByteArray buffer_;
    qsizetype used_ = 0;
};

pid_t spawn(const QString &program, const QString &name, const QStringList &arguments, const Pipe &out,
            const Pipe &err)
{
    const QByteArray path = program.toLocal8Bit();
    QList<QByteArray> encoded{name.isEmpty() ? path : name.toLocal8Bit()};
    for (const QString &argument : arguments)
        encoded.append(argument.toLocal8Bit());
    QList<char *> argv;
    for (QByteArray &argument : encoded)
        argv.append(argument.data());
    argv.append(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out.writeEnd(), 1);
    posix_spawn_file_actions_adddup2(&actions, err.writeEnd(), 2);
    pid_t pid = 0;
    const int error = posix_spawn(&pid, path.constData(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0)
        throwSystemError(error);
    return pid;
}

// A descriptor that becomes readable when the child exits, where the system offers one.
int exitDescriptor(pid_t pid)
{
#ifdef SYS_pidfd_open
    return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
#else
    Q_UNUSED(pid);
    return -1;
#endif
}

template<typename Collector>
void drain(pid_t pid, Pipe &out, Pipe &err, Collector &outSink, Collector &errSink)
{
    const int exitFd = exitDescriptor(pid);
    bool outOpen = true;
    bool errOpen = true;
    bool exited = false;
    while ((outOpen || errOpen) && !exited) {
        pollfd fds[3] = {{outOpen ? out.readEnd() : -1, POLLIN, 0},
                         {errOpen ? err.readEnd() : -1, POLLIN, 0},
                         {exitFd, POLLIN, 0}};
        if (::poll(fds, 3, -1) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (fds[0].revents)
            outOpen = outSink.readAvailable(out.readEnd());
        if (fds[1].revents)
            errOpen = errSink.readAvailable(err.readEnd());
        exited = fds[2].revents != 0;
    }
    // Whatever the process wrote before it exited is still in the pipes.
    if (outOpen)
        outSink.readAvailable(out.readEnd());
    if (errOpen)
        errSink.readAvailable(err.readEnd());
    if (exitFd >= 0)
        ::close(exitFd);
}

struct Ending
{
    int exitCode = 0;
    bool killedBySignal = false;
};

// Reads both pipes into the collectors while the process runs, then reaps it.
template<typename Collector>
Ending run(const QString &program, const QString &name, const QStringList &arguments, Collector &outSink,
           Collector &errSink)
{
    Pipe out;
    Pipe err;
    const pid_t pid = spawn(program, name, arguments, out, err);
    out.closeEnd(1);
    err.closeEnd(1);
    drain(pid, out, err, outSink, errSink);

    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFSIGNALED(status))
        return {WTERMSIG(status), true};
    return {WEXITSTATUS(status), false};
}

} // namespace

ProcessOutput runProcess(const QString &program, const QStringList &arguments, const QString &name)
{
    Sink outSink;
    Sink errSink;
    const Ending ending = run(program, name, arguments, outSink, errSink);
    return {outSink.take(), errSink.take(), ending.exitCode, ending.killedBySignal};
}

ProcessTextOutput runProcessForText(const QString &program, const QStringList &arguments)
{
    Utf8PipeSink outSink;
    Utf8PipeSink errSink;
    const Ending ending = run(program, {}, arguments, outSink, errSink);
    return {outSink.take(), errSink.take(), ending.exitCode, ending.killedBySignal};
}
