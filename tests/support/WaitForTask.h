#pragma once

#include <QCoroTask>

#include <exception>
#include <optional>

namespace WaitForTaskDetail {

template<typename T>
QCoro::Task<std::optional<T>> capture(QCoro::Task<T> task, std::exception_ptr *failure)
{
    try {
        co_return co_await std::move(task);
    } catch (...) {
        *failure = std::current_exception();
        co_return std::nullopt;
    }
}

inline QCoro::Task<bool> capture(QCoro::Task<void> task, std::exception_ptr *failure)
{
    try {
        co_await std::move(task);
    } catch (...) {
        *failure = std::current_exception();
    }
    co_return true;
}

} // namespace WaitForTaskDetail

// Runs an event loop until the task ends and returns its result or rethrows its exception.
// QCoro::waitFor alone never returns when the task throws.
template<typename T>
T waitForTask(QCoro::Task<T> task)
{
    std::exception_ptr failure;
    [[maybe_unused]] auto result = QCoro::waitFor(WaitForTaskDetail::capture(std::move(task), &failure));
    if (failure)
        std::rethrow_exception(failure);
    if constexpr (!std::is_void_v<T>)
        return std::move(*result);
}
