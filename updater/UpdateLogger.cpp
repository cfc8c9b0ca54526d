#include "UpdateLogger.h"

#include "UpdaterLog.h"

#include <QDir>
#include <QFile>

UpdateLogger::UpdateLogger(const QString &homeDirectory, Clock clock)
    : clock_(std::move(clock))
{
    const QString folder = QDir(homeDirectory).filePath(QStringLiteral("Library/Logs/Quillo Edge"));
    QDir().mkpath(folder);
    logPath_ = folder + QStringLiteral("/updater.log");
}

const QString &UpdateLogger::logPath() const
{
    return logPath_;
}

void UpdateLogger::write(const QString &message) const
{
    qCInfo(updaterLog).noquote() << message;
    const QByteArray line = (u'[' + timestamp() + QStringLiteral("] ") + message + u'\n').toUtf8();
    // Opened and closed per line so each line is on disk before the next step; O_APPEND keeps
    // two updaters from overwriting each other's lines.
    QFile file(logPath_);
    if (file.open(QIODevice::WriteOnly | QIODevice::Append))
        file.write(line);
}

QString UpdateLogger::timestamp() const
{
    const QDateTime now = clock_ ? clock_() : QDateTime::currentDateTimeUtc();
    return now.toUTC().toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss'Z'"));
}
