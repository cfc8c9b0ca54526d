import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import QuilloEdge
import QuilloEdge.Controller

SettingsSection {
    id: section
    required property ServiceController controller
    title: "打印服务"

    DetailRow {
        objectName: "settingsVersionRow"
        label: "版本"
        value: section.controller.status.version || "未安装"
        Layout.fillWidth: true
    }
    Divider {}
    DetailRow {
        objectName: "settingsAddressRow"
        label: "管理地址"
        value: section.controller.status.url
        Layout.fillWidth: true
    }
    Divider {}
    RowLayout {
        spacing: 12
        Layout.fillWidth: true
        Label {
            text: "登录后自动启动"
            font.pixelSize: Theme.bodySize
            Layout.fillWidth: true
        }
        Switch {
            id: autoStart
            objectName: "settingsAutoStartSwitch"
            padding: 0
            checked: section.controller.status.autoStart
            enabled: section.controller.status.managed && !section.controller.isBusy
            Accessible.name: "登录后自动启动"
            Keys.onReturnPressed: { toggle(); toggled() }
            Keys.onEnterPressed: { toggle(); toggled() }
            // The switch shows the status; the new value shows once the installer has applied it.
            onToggled: {
                section.controller.setAutoStart(checked)
                checked = Qt.binding(() => section.controller.status.autoStart)
            }
        }
    }
}
