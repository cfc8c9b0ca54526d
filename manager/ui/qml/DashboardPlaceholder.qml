import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import QuilloEdge
import QuilloEdge.Controller

ColumnLayout {
    id: placeholder
    required property ServiceController controller
    readonly property bool installed: controller.status.installed
    readonly property int action: Presentation.placeholderAction(installed, controller.status.running)
    // The page itself failed while the service is healthy: the texts and the button say so.
    property bool pageFailed: false
    signal retryRequested()
    spacing: 18

    Symbol {
        name: placeholder.installed ? "dialog-warning-symbolic" : "printer-symbolic"
        size: 64
        color: placeholder.pageFailed
               ? Theme.orange : Theme.toneColors[Presentation.statusTone(placeholder.controller.presentationState)]
        Layout.alignment: Qt.AlignHCenter
    }
    Label {
        objectName: "placeholderTitle"
        text: placeholder.pageFailed || placeholder.installed ? "Edge Web 暂不可用" : "开始使用 Quillo Edge"
        font.pixelSize: 22
        font.bold: true
        Layout.alignment: Qt.AlignHCenter
    }
    Label {
        objectName: "placeholderMessage"
        text: placeholder.pageFailed ? "管理页面多次意外退出，已停止自动重新加载。可以重新加载，或稍后再试。"
                                     : Presentation.placeholderMessage(placeholder.action)
        color: Theme.secondaryText
        font.pixelSize: Theme.bodySize
        horizontalAlignment: Text.AlignHCenter
        wrapMode: Text.Wrap
        Layout.maximumWidth: 460
        Layout.alignment: Qt.AlignHCenter
    }
    ProminentButton {
        objectName: "placeholderButton"
        text: placeholder.pageFailed ? "重新加载"
                                     : Presentation.placeholderButtonTitle(placeholder.action)
        Layout.alignment: Qt.AlignHCenter
        // Never disabled: the controller ignores the press while a command runs.
        onClicked: {
            if (placeholder.pageFailed) {
                placeholder.retryRequested()
                return
            }
            switch (placeholder.action) {
            case Presentation.PlaceholderAction.install: placeholder.controller.install(); break
            case Presentation.PlaceholderAction.start: placeholder.controller.start(); break
            case Presentation.PlaceholderAction.recheck: placeholder.controller.refresh(false); break
            }
        }
    }
}
