#include "Presentation.h"

#include <QKeySequence>

namespace {

// An optional text from the controller: null when absent.
bool isPresent(const QVariant &value)
{
    return value.isValid() && !value.isNull();
}

} // namespace

Presentation::Presentation(QObject *parent)
    : QObject(parent)
{
}

QString Presentation::statusTitle(ServicePresentationState state) const
{
    using enum ServicePresentationState;
    switch (state) {
    case notInstalled: return QStringLiteral("尚未启用");
    case needsAdoption: return QStringLiteral("发现现有安装");
    case stopped: return QStringLiteral("已停止");
    case starting: return QStringLiteral("处理中");
    case healthy: return QStringLiteral("在线");
    case unhealthy: return QStringLiteral("服务异常");
    }
    return {};
}

QString Presentation::statusSubtitle(ServicePresentationState state, const QString &activityMessage) const
{
    using enum ServicePresentationState;
    switch (state) {
    case notInstalled: return QStringLiteral("启用后即可接收并管理打印任务");
    case needsAdoption: return QStringLiteral("迁移后可使用完整的管理与更新功能");
    case stopped: return QStringLiteral("管理页面当前不可访问");
    case starting: return activityMessage;
    case healthy: return QStringLiteral("打印服务和管理页面运行正常");
    case unhealthy: return QStringLiteral("进程已运行，但健康检查未通过");
    }
    return {};
}

Presentation::Tone Presentation::statusTone(ServicePresentationState state) const
{
    using enum ServicePresentationState;
    switch (state) {
    case needsAdoption:
    case starting: return Tone::attention;
    case healthy: return Tone::good;
    case unhealthy: return Tone::fault;
    case notInstalled:
    case stopped: break;
    }
    return Tone::neutral;
}

Presentation::ServiceArea Presentation::serviceArea(bool installed, bool managed) const
{
    if (managed)
        return ServiceArea::controls;
    return installed ? ServiceArea::adoption : ServiceArea::install;
}

Presentation::PlaceholderAction Presentation::placeholderAction(bool installed, bool running) const
{
    if (!installed)
        return PlaceholderAction::install;
    return running ? PlaceholderAction::recheck : PlaceholderAction::start;
}

QString Presentation::placeholderMessage(PlaceholderAction action) const
{
    switch (action) {
    case PlaceholderAction::install: return QStringLiteral("启用 Quillo Edge 后，这里会直接打开本机管理页面。");
    case PlaceholderAction::recheck:
        return QStringLiteral("打印服务正在运行，但尚未通过健康检查。可以稍后重试或查看服务日志。");
    case PlaceholderAction::start: break;
    }
    return QStringLiteral("打印服务已停止。启动后会自动打开管理页面。");
}

QString Presentation::placeholderButtonTitle(PlaceholderAction action) const
{
    switch (action) {
    case PlaceholderAction::install: return QStringLiteral("启用 Quillo Edge");
    case PlaceholderAction::recheck: return QStringLiteral("重新检查");
    case PlaceholderAction::start: break;
    }
    return QStringLiteral("启动打印服务");
}

QString Presentation::updateStatusText(const QVariant &updateMessage, bool isCheckingUpdates) const
{
    if (isPresent(updateMessage))
        return updateMessage.toString();
    return isCheckingUpdates ? QStringLiteral("正在检查更新…") : QStringLiteral("尚未检查更新");
}

QString Presentation::activityText(bool isInstallingManagerUpdate, const QVariant &updateMessage,
                                   const QString &activityMessage) const
{
    if (!isInstallingManagerUpdate)
        return activityMessage;
    return isPresent(updateMessage) ? updateMessage.toString() : QStringLiteral("正在更新 Quillo Edge…");
}

QString Presentation::updateButtonTitle(bool installing) const
{
    return installing ? QStringLiteral("正在更新…") : QStringLiteral("立即更新");
}

QString Presentation::errorAlertText(const QVariant &errorMessage) const
{
    const QString text = isPresent(errorMessage) ? errorMessage.toString() : QString();
    return text.isEmpty() ? QStringLiteral("未知错误") : text;
}

QString Presentation::settingsShortcut() const
{
    const QKeySequence platform(QKeySequence::Preferences);
    return (platform.isEmpty() ? QKeySequence(Qt::CTRL | Qt::Key_Comma) : platform).toString(QKeySequence::PortableText);
}
