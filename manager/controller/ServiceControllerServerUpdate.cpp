#include "ServiceController.h"

#include <QPointer>

void ServiceController::updateEdgeServer(std::function<void(bool)> completion)
{
    if (!serverUpdate_) {
        completion(true);
        return;
    }
    if (!status_.managed) {
        setErrorMessage(QStringLiteral("请先迁移现有安装，再更新打印服务"));
        completion(false);
        return;
    }
    const QString target = serverUpdate_->manifest.version;
    setIsInstallingServerUpdate(true);

    QPointer<ServiceController> self(this);
    perform(QStringLiteral("upgrade"), {QStringLiteral("--version"), target}, QStringLiteral("正在更新打印服务…"),
            installerURL(), target, [self, completion = std::move(completion)](bool succeeded) {
                if (self)
                    self->setIsInstallingServerUpdate(false);
                completion(succeeded);
            });
}
