#include "NetworkAccess.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QPointer>
#include <QThread>

QNetworkAccessManager &sharedNetworkAccess()
{
    // A guarded pointer, so a manager deleted with its owner is made afresh on next use.
    thread_local QPointer<QNetworkAccessManager> manager;
    if (!manager) {
        manager = new QNetworkAccessManager;
        QThread *thread = QThread::currentThread();
        QCoreApplication *application = QCoreApplication::instance();
        if (application && application->thread() == thread)
            manager->setParent(application);
        else
            QObject::connect(thread, &QThread::finished, manager, &QObject::deleteLater);
    }
    return *manager;
}
