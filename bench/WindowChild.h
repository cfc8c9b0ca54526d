#pragma once

// What the window benchmark's child processes share: events reported on standard output as
// "<event> <CLOCK_MONOTONIC nanoseconds>" lines, the window's frames, and quitting when the
// parent closes standard input.

#include <QCoreApplication>
#include <QQuickWindow>
#include <QSocketNotifier>

#include <cstdio>
#include <ctime>
#include <mutex>
#include <vector>

inline qint64 monotonicNs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

inline void reportEvent(const char *event, qint64 ns = monotonicNs())
{
    std::printf("%s %lld\n", event, static_cast<long long>(ns));
    std::fflush(stdout);
}

// Reports "frame" when the window swaps its first frame, and each event passed to
// reportAtNextFrame() when it swaps the next frame after the call. Frames may be swapped on the
// render thread.
class FrameReporter : public QObject
{
public:
    explicit FrameReporter(QQuickWindow *window)
    {
        connect(window, &QQuickWindow::frameSwapped, this, [this] { frameSwapped(); }, Qt::DirectConnection);
    }

    void reportAtNextFrame(const char *event)
    {
        const std::lock_guard lock(mutex_);
        pending_.push_back(event);
    }

private:
    void frameSwapped()
    {
        const qint64 now = monotonicNs();
        const std::lock_guard lock(mutex_);
        if (!firstFrameSeen_) {
            firstFrameSeen_ = true;
            reportEvent("frame", now);
        }
        for (const char *event : pending_)
            reportEvent(event, now);
        pending_.clear();
    }

    std::mutex mutex_;
    bool firstFrameSeen_ = false;
    std::vector<const char *> pending_;
};

// Quits the application when standard input closes (or anything arrives on it).
inline void quitWhenInputCloses()
{
    auto *input = new QSocketNotifier(0, QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(input, &QSocketNotifier::activated, QCoreApplication::instance(), [] { QCoreApplication::quit(); });
}
