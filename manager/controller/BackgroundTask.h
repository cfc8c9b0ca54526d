#pragma once

#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>

#include <QCoroFuture>
#include <QCoroTask>

#include <exception>
#include <optional>
#include <type_traits>
#include <utility>
#include <variant>

// Blocking runs (installer, updater) may overlap: a command, a refresh and a preparation at
// once. Their own pool keeps them from queueing behind each other or behind Qt's own work.
QThreadPool &blockingWorkPool();

namespace BackgroundDetail {

template<typename T>
struct Outcome
{
    std::conditional_t<std::is_void_v<T>, std::monostate, std::optional<T>> value;
    std::exception_ptr failure;
};

} // namespace BackgroundDetail

// Runs work on a worker thread and resumes the awaiting coroutine on its own thread with the
// result, or rethrows there what the work threw.
template<typename Work>
auto runInBackground(Work work) -> QCoro::Task<std::invoke_result_t<Work>>
{
    using Result = std::invoke_result_t<Work>;
    using Outcome = BackgroundDetail::Outcome<Result>;
    Outcome outcome = co_await QtConcurrent::run(&blockingWorkPool(), [work = std::move(work)]() mutable {
        Outcome result;
        try {
            if constexpr (std::is_void_v<Result>)
                work();
            else
                result.value.emplace(work());
        } catch (...) {
            result.failure = std::current_exception();
        }
        return result;
    });
    if (outcome.failure)
        std::rethrow_exception(outcome.failure);
    if constexpr (!std::is_void_v<Result>)
        co_return std::move(*outcome.value);
}
