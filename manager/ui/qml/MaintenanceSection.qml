import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import QuilloEdge
import QuilloEdge.Controller

SettingsSection {
    id: section
    required property ServiceController controller
    // "移除打印服务…" only asks; the confirmation does the removing.
    signal removeRequested()
    title: "维护"

    RowLayout {
        spacing: 8
        enabled: section.controller.status.managed
        ActionButton {
            objectName: "settingsLogsButton"
            text: "打开日志目录"
            symbol: "folder-symbolic"
            onClicked: section.controller.openLogs()
        }
        ActionButton {
            objectName: "settingsDataButton"
            text: "打开数据目录"
            symbol: "folder-symbolic"
            onClicked: section.controller.openDataDirectory()
        }
    }
    Divider {}
    DestructiveButton {
        objectName: "removeServiceButton"
        text: "移除打印服务…"
        symbol: "user-trash-symbolic"
        enabled: section.controller.status.managed && !section.controller.isBusy
        onClicked: section.removeRequested()
    }
}
