#pragma once

#include <QByteArray>
#include <QString>

#include <exception>

// Base of every failure that reaches the user: each one knows its exact message.
class UserFacingError : public std::exception
{
public:
    virtual QString errorDescription() const = 0;
    const char *what() const noexcept override;

private:
    mutable QByteArray whatText_;
};

// A failure of the operating system or of Qt, carrying the system's own text unchanged.
class SystemError final : public UserFacingError
{
public:
    explicit SystemError(QString message);
    QString errorDescription() const override;

private:
    QString message_;
};
