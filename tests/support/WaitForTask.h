#pragma once

#include <QCoroTask>

#include <exception>
#include <optional>
#include <type_traits>

// Runs an event loop until the task ends and returns its result or rethrows its exception.
// QCoro::waitFor alone never returns when the task throws.
template<typename T>
T waitForTask(QCoro::Task<T> task)
{
    std::exception_ptr failure;
    [[maybe_unused]] std::optional<std::conditional_t<std::is_void_v<T>, bool, T>> result;
    const auto capture = [&]() -> QCoro::Task<> {
        try {
            if constexpr (std::is_void_v<T>)
                co_await std::move(task);
            else
                result = co_await std::move(task);
        } catch (...) {
            failure = std::current_exception();
        }
    };
    QCoro::waitFor(capture());
    if (failure)
        std::rethrow_exception(failure);
    if constexpr (!std::is_void_v<T>)
        return std::move(*result);
}
