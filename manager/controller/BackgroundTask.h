#pragma once

#include <QFuture>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>

#include <QCoroFuture>

#include <exception>
#include <optional>
#include <type_traits>
#include <utility>

// Blocking runs (installer, updater) may overlap: a command, a refresh and a preparation at
// once. Their own pool keeps them from queueing behind each other or behind Qt's own work.
QThreadPool &blockingWorkPool();

// What a background run produced: its value, or what it threw, rethrown by take() on the
// awaiting thread.
template<typename T>
class BackgroundResult
{
public:
    BackgroundResult() = default;

    T take()
    {
        if (failure_)
            std::rethrow_exception(failure_);
        if constexpr (!std::is_void_v<T>)
            return std::move(*value_);
    }

    template<typename Work>
    static BackgroundResult capture(Work &work) noexcept
    {
        BackgroundResult result;
        try {
            if constexpr (std::is_void_v<T>)
                work();
            else
                result.value_.emplace(work());
        } catch (...) {
            result.failure_ = std::current_exception();
        }
        return result;
    }

private:
    struct Nothing {};
    std::conditional_t<std::is_void_v<T>, Nothing, std::optional<T>> value_;
    std::exception_ptr failure_;
};

// Thrown inside a controller coroutine that finds the controller gone after a wait, so the
// rest is skipped and only clean-up and completions run.
struct ControllerGone
{
};

// Starts blocking work on a worker thread. Await the future into a named BackgroundResult
// and take() it; keeping the work out of the co_await expression itself sidesteps GCC 12
// running a lambda temporary's destructor twice there.
template<typename Work>
auto startInBackground(Work work) -> QFuture<BackgroundResult<std::invoke_result_t<Work>>>
{
    using Result = BackgroundResult<std::invoke_result_t<Work>>;
    return QtConcurrent::run(&blockingWorkPool(),
                             [work = std::move(work)]() mutable { return Result::capture(work); });
}
