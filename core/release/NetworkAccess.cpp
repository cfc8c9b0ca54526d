#include "release/NetworkAccess.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QPointer>
#include <QThread>

namespace {

QPointer<QNetworkAccessManager> &threadManager()
{
    thread_local QPointer<QNetworkAccessManager> manager;
    return manager;
}

// The manager winds its connections down on a thread of its own, which needs the application
// object still alive; its children are deleted too late for that.
void deleteMainThreadManager()
{
    delete threadManager().data();
}

} // namespace

QNetworkAccessManager &sharedNetworkAccess()
{
    QPointer<QNetworkAccessManager> &manager = threadManager();
    if (!manager) {
        manager = new QNetworkAccessManager;
        QCoreApplication *application = QCoreApplication::instance();
        if (application && application->thread() == QThread::currentThread())
            qAddPostRoutine(deleteMainThreadManager);
        else
            QObject::connect(QThread::currentThread(), &QThread::finished, manager, &QObject::deleteLater);
    }
    return *manager;
}
