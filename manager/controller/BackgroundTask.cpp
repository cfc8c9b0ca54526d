#include "BackgroundTask.h"

QThreadPool &blockingWorkPool()
{
    static QThreadPool *pool = [] {
        auto *created = new QThreadPool;
        created->setMaxThreadCount(16);
        return created;
    }();
    return *pool;
}
