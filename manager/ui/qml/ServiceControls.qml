import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import QuilloEdge
import QuilloEdge.Controller

ColumnLayout {
    id: controls
    required property ServiceController controller
    readonly property bool running: controller.status.running
    spacing: 10

    Label {
        text: "服务控制"
        font.pixelSize: Theme.headlineSize
        font.weight: Font.DemiBold
    }
    RowLayout {
        spacing: 8
        ProminentButton {
            objectName: "runButton"
            text: controls.running ? "停止" : "启动"
            symbol: controls.running ? "media-playback-stop-symbolic" : "media-playback-start-symbolic"
            enabled: !controls.controller.isBusy
            onClicked: controls.running ? controls.controller.stop() : controls.controller.start()
        }
        ActionButton {
            objectName: "restartButton"
            text: "重新启动"
            symbol: "view-refresh-symbolic"
            enabled: !controls.controller.isBusy && controls.controller.status.installed
            onClicked: controls.controller.restart()
        }
    }
    Switch {
        id: autoStart
        objectName: "autoStartSwitch"
        text: "登录后自动启动"
        font.pixelSize: Theme.bodySize
        leftPadding: 0
        checked: controls.controller.status.autoStart
        enabled: !controls.controller.isBusy
        Accessible.name: text
        Keys.onReturnPressed: { toggle(); toggled() }
        Keys.onEnterPressed: { toggle(); toggled() }
        // The switch shows the status; the new value shows once the installer has applied it.
        onToggled: {
            controls.controller.setAutoStart(checked)
            checked = Qt.binding(() => controls.controller.status.autoStart)
        }
    }
}
