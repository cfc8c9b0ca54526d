#include "text/UserFacingError.h"

const char *UserFacingError::what() const noexcept
{
    try {
        whatText_ = errorDescription().toUtf8();
        return whatText_.constData();
    } catch (...) {
        return "error";
    }
}

SystemError::SystemError(QString message)
    : message_(std::move(message))
{
}

QString SystemError::errorDescription() const
{
    return message_;
}
