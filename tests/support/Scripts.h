#pragma once

#include "Fixtures.h"
#include "service/ServiceStatus.h"

#include <QJsonDocument>
#include <QRegularExpression>
#include <QSaveFile>
#include <QTemporaryDir>
#include <QTest>

// The scripted installer and updater of tests/fixtures, reached through the real overrides. They
// share a state folder: what a command prints, how long it takes and how it ends
// (<command>.stdout, .stderr, .sleep, .exit, .kill), and how each ran.
struct Scripts : QTemporaryDir
{
    const QString updater = filePath(QStringLiteral("QuilloEdgeUpdater"));
    const char *variables[4] = {"QUILLO_MANAGER_INSTALLER", "QUILLO_MANAGER_UPDATER", "QUILLO_FIXTURE_STATE",
                                "QUILLO_FIXTURE_UPDATER_STATE"};

    Scripts()
    {
        QFile::copy(fixturePath(QStringLiteral("updater-scripted.sh")), updater);
        QFile::setPermissions(updater, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        const QStringList values{fixturePath(QStringLiteral("installer-scripted.sh")), updater, path(), path()};
        for (int i = 0; i < 4; ++i)
            qputenv(variables[i], QFile::encodeName(values[i]));
    }
    ~Scripts()
    {
        for (const char *name : variables)
            qunsetenv(name);
    }
    // Replaced in one step: a script run by a poll at that moment reads the old or the new content.
    void set(const QString &name, const QByteArray &content) const
    {
        QSaveFile file(filePath(name));
        QVERIFY(content.isEmpty()
                    ? !QFile::exists(filePath(name)) || QFile::remove(filePath(name))
                    : file.open(QIODevice::WriteOnly) && file.write(content) == content.size() && file.commit());
    }
    void setStatus(const ServiceStatus &status) const
    {
        set(QStringLiteral("status.stdout"), QJsonDocument(status.toJson()).toJson(QJsonDocument::Compact) + "\n");
    }
    QStringList lines(const char *name) const
    {
        QFile file(filePath(QString::fromLatin1(name)));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts)
                                              : QStringList();
    }
    // Every installer run so far, by its arguments (each ends in a tab).
    QList<QStringList> calls() const
    {
        QList<QStringList> calls;
        for (const QString &line : lines("calls"))
            calls.append(line.chopped(1).split(u'\t'));
        return calls;
    }
    int callCount(const QString &command) const
    {
        return int(lines("calls").filter(QRegularExpression(u'^' + command + u'\t')).size());
    }
};
