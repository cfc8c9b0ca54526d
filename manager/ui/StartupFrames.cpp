#include "StartupFrames.h"

#include "ServiceController.h"
#include "WindowLog.h"

#include <QQuickWindow>

#include <atomic>
#include <memory>

void logStartupFrames(QQuickWindow *window, const ServiceController &controller)
{
    if (!startupLog().isInfoEnabled())
        return;
    // Frames are swapped on the render thread; the status arrives on the main thread.
    struct Pending
    {
        std::atomic<bool> firstFrame{true};
        std::atomic<bool> statusFrame{false};
    };
    auto pending = std::make_shared<Pending>();
    QObject::connect(
        window, &QQuickWindow::frameSwapped, window,
        [pending] {
            if (pending->firstFrame.exchange(false))
                qCInfo(startupLog) << "first frame";
            if (pending->statusFrame.exchange(false))
                qCInfo(startupLog) << "first status shown";
        },
        Qt::DirectConnection);
    QObject::connect(
        &controller, &ServiceController::statusRead, window, [pending] { pending->statusFrame = true; },
        Qt::SingleShotConnection);
}
