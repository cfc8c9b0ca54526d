#pragma once

#include <QDateTime>
#include <QString>

#include <functional>

// The updater's own record: one "[time] message" line per event, appended to
// ~/Library/Logs/Quillo Edge/updater.log. Writing never fails the update.
class UpdateLogger
{
public:
    using Clock = std::function<QDateTime()>;

    // Makes sure the log folder exists; a clock may stand in for the current time.
    explicit UpdateLogger(const QString &homeDirectory, Clock clock = {});

    const QString &logPath() const;
    void write(const QString &message) const;

private:
    QString timestamp() const;

    QString logPath_;
    Clock clock_;
};
