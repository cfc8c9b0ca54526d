#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>

// One manager per user: two would poll and run installer commands against each other. The first
// listens on a local socket in the user's runtime folder, reachable by that user alone; a later
// one asks it to bring its window forward and leaves.
class SingleInstance : public QObject
{
    Q_OBJECT

public:
    enum class Role {
        primary,   // this process runs the manager and listens
        secondary, // a running manager was asked to come forward; this process exits
        unguarded, // the socket's place is taken by something not ours; run without the check
    };

    // socketFolder: empty for the user's runtime folder.
    explicit SingleInstance(const QString &socketFolder = {}, QObject *parent = nullptr);

    Role claim();
    QString socketPath() const { return socketPath_; }

signals:
    void raiseRequested();

private:
    bool askRunningManagerToRaise() const;
    void serve(QLocalSocket *connection);

    QString folder_;
    QString socketPath_;
    QLocalServer server_;
};
