#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>

// One manager per user: two would poll and run installer commands against each other. The first
// holds a lock and listens on a local socket, both in a folder only this user can enter; a later
// one asks it to bring its window forward and leaves.
class SingleInstance : public QObject
{
    Q_OBJECT

public:
    enum class Role {
        primary,   // this process runs the manager, holds the lock and listens
        secondary, // another manager runs (it was asked to come forward); this process exits
        unguarded, // no private folder, lock or socket to be had; run without the check
    };

    // socketFolder: empty for the user's private runtime folder.
    explicit SingleInstance(const QString &socketFolder = {}, QObject *parent = nullptr);
    ~SingleInstance() override;

    Role claim();
    QString socketPath() const { return socketPath_; }

signals:
    void raiseRequested();

private:
    enum class Answer {
        raised,
        nobody, // nothing listens at the socket
        silent, // something listens but did not take the request in time
    };
    Role handOver() const;
    Answer askRunningManagerToRaise() const;
    void serve(QLocalSocket *connection);

    QString socketPath_;
    int lock_ = -1;
    QLocalServer server_;
};
