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

QString Presentation::statusTitle(State state) const
{
    switch (state) {
    case State::notInstalled: return QStringLiteral("尚未启用");
    case State::needsAdoption: return QStringLiteral("发现现有安装");
    case State::stopped: return QStringLiteral("已停止");
    case State::starting: return QStringLiteral("处理中");
    case State::healthy: return QStringLiteral("在线");
    case State::unhealthy: return QStringLiteral("服务异常");
    }
    return {};
}

QString Presentation::statusSubtitle(State state, const QString &activityMessage) const
{
    switch (state) {
    case State::notInstalled: return QStringLiteral("启用后即可接收并管理打印任务");
    case State::needsAdoption: return QStringLiteral("迁移后可使用完整的管理与更新功能");
    case State::stopped: return QStringLiteral("管理页面当前不可访问");
    case State::starting: return activityMessage;
    case State::healthy: return QStringLiteral("打印服务和管理页面运行正常");
    case State::unhealthy: return QStringLiteral("进程已运行，但健康检查未通过");
    }
    return {};
}

QColor Presentation::statusColor(State state) const
{
    switch (state) {
    case State::needsAdoption:
    case State::starting: return QColor(0xFF, 0x95, 0x00);
    case State::healthy: return QColor(0x34, 0xC7, 0x59);
    case State::unhealthy: return QColor(0xFF, 0x3B, 0x30);
    case State::notInstalled:
    case State::stopped: break;
    }
    return QColor(0x8E, 0x8E, 0x93);
}

Presentation::ServiceArea Presentation::serviceArea(bool installed, bool managed) const
{
    if (managed)
        return ServiceArea::Controls;
    return installed ? ServiceArea::Adoption : ServiceArea::Install;
}

QString Presentation::runButtonTitle(bool running) const
{
    return running ? QStringLiteral("停止") : QStringLiteral("启动");
}

QString Presentation::runButtonSymbol(bool running) const
{
    return running ? QStringLiteral("media-playback-stop-symbolic") : QStringLiteral("media-playback-start-symbolic");
}

QString Presentation::versionText(const QString &version) const
{
    return version.isEmpty() ? QStringLiteral("未知") : version;
}

bool Presentation::showsDashboard(bool healthy, const QUrl &dashboardUrl) const
{
    return healthy && !dashboardUrl.isEmpty();
}

QString Presentation::placeholderSymbol(bool installed) const
{
    return installed ? QStringLiteral("dialog-warning-symbolic") : QStringLiteral("printer-symbolic");
}

QString Presentation::placeholderTitle(bool installed) const
{
    return installed ? QStringLiteral("Edge Web 暂不可用") : QStringLiteral("开始使用 Quillo Edge");
}

QString Presentation::placeholderMessage(bool installed, bool running) const
{
    if (!installed)
        return QStringLiteral("启用 Quillo Edge 后，这里会直接打开本机管理页面。");
    if (running)
        return QStringLiteral("打印服务正在运行，但尚未通过健康检查。可以稍后重试或查看服务日志。");
    return QStringLiteral("打印服务已停止。启动后会自动打开管理页面。");
}

QString Presentation::placeholderButtonTitle(bool installed, bool running) const
{
    switch (placeholderAction(installed, running)) {
    case PlaceholderAction::Install: return QStringLiteral("启用 Quillo Edge");
    case PlaceholderAction::Recheck: return QStringLiteral("重新检查");
    case PlaceholderAction::Start: break;
    }
    return QStringLiteral("启动打印服务");
}

Presentation::PlaceholderAction Presentation::placeholderAction(bool installed, bool running) const
{
    if (!installed)
        return PlaceholderAction::Install;
    return running ? PlaceholderAction::Recheck : PlaceholderAction::Start;
}

QString Presentation::updateHeading(bool hasAvailableUpdates) const
{
    return hasAvailableUpdates ? QStringLiteral("有可用更新") : QStringLiteral("软件更新");
}

QString Presentation::updateHeadingSymbol(bool hasAvailableUpdates) const
{
    return hasAvailableUpdates ? QStringLiteral("software-update-available-symbolic") : QStringLiteral("emblem-ok-symbolic");
}

QString Presentation::updateButtonTitle(bool installing) const
{
    return installing ? QStringLiteral("正在更新…") : QStringLiteral("立即更新");
}

QString Presentation::updateStatusText(const QVariant &updateMessage, bool isCheckingUpdates) const
{
    if (isPresent(updateMessage))
        return updateMessage.toString();
    return isCheckingUpdates ? QStringLiteral("正在检查更新…") : QStringLiteral("尚未检查更新");
}

QString Presentation::checkButtonTitle(bool isCheckingUpdates) const
{
    return isCheckingUpdates ? QStringLiteral("检查中…") : QStringLiteral("检查更新");
}

bool Presentation::showsServerVersionRow(bool installed, const QVariant &serverUpdate) const
{
    return installed || isPresent(serverUpdate);
}

bool Presentation::showsActivity(bool isBusy, bool isInstallingManagerUpdate) const
{
    return isBusy || isInstallingManagerUpdate;
}

QString Presentation::activityText(bool isInstallingManagerUpdate, const QVariant &updateMessage,
                                   const QString &activityMessage) const
{
    if (!isInstallingManagerUpdate)
        return activityMessage;
    return isPresent(updateMessage) ? updateMessage.toString() : QStringLiteral("正在更新 Quillo Edge…");
}

bool Presentation::showsErrorAlert(const QVariant &errorMessage) const
{
    return isPresent(errorMessage);
}

QString Presentation::errorAlertText(const QVariant &errorMessage) const
{
    const QString text = isPresent(errorMessage) ? errorMessage.toString() : QString();
    return text.isEmpty() ? QStringLiteral("未知错误") : text;
}

bool Presentation::canRunCommand(bool isBusy) const
{
    return !isBusy;
}

bool Presentation::canRestart(bool isBusy, bool installed) const
{
    return !isBusy && installed;
}

bool Presentation::canCheckForUpdates(bool isCheckingUpdates, bool isInstallingManagerUpdate) const
{
    return !isCheckingUpdates && !isInstallingManagerUpdate;
}

QString Presentation::installedVersionText(const QString &version) const
{
    return version.isEmpty() ? QStringLiteral("未安装") : version;
}

QString Presentation::settingsUpdateButtonTitle(bool isInstallingServerUpdate, bool isInstallingManagerUpdate) const
{
    return updateButtonTitle(isInstallingServerUpdate || isInstallingManagerUpdate);
}

QString Presentation::optionalText(const QVariant &text) const
{
    return isPresent(text) ? text.toString() : QString();
}

bool Presentation::canCheckForUpdatesInSettings(bool isCheckingUpdates, bool isInstallingServerUpdate,
                                                bool isInstallingManagerUpdate) const
{
    return !isCheckingUpdates && !isInstallingServerUpdate && !isInstallingManagerUpdate;
}

bool Presentation::canChangeAutoStart(bool managed, bool isBusy) const
{
    return managed && !isBusy;
}

bool Presentation::canOpenServiceFolders(bool managed) const
{
    return managed;
}

bool Presentation::canRemoveService(bool managed, bool isBusy) const
{
    return managed && !isBusy;
}

QString Presentation::settingsShortcut() const
{
    const QKeySequence platform(QKeySequence::Preferences);
    return (platform.isEmpty() ? QKeySequence(Qt::CTRL | Qt::Key_Comma) : platform).toString(QKeySequence::PortableText);
}
