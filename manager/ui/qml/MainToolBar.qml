import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import QuilloEdge
import QuilloEdge.Controller

ToolBar {
    id: toolbar
    required property ServiceController controller

    RowLayout {
        anchors.fill: parent
        anchors.rightMargin: 8
        spacing: 2
        Item { Layout.fillWidth: true }
        ActionButton {
            objectName: "toolbarRefresh"
            text: "刷新"
            symbol: "view-refresh-symbolic"
            flat: true
            enabled: !toolbar.controller.isBusy
            onClicked: toolbar.controller.refresh(false)
        }
        ActionButton {
            objectName: "toolbarOpenInBrowser"
            text: "在浏览器中打开"
            symbol: "web-browser-symbolic"
            flat: true
            enabled: toolbar.controller.status.healthy
            onClicked: toolbar.controller.openDashboardInBrowser()
        }
        ActionButton {
            objectName: "toolbarCheckForUpdates"
            text: "检查更新"
            symbol: "document-save-symbolic"
            flat: true
            enabled: !toolbar.controller.isCheckingUpdates && !toolbar.controller.isInstallingManagerUpdate
            onClicked: toolbar.controller.checkForUpdates(false)
        }
    }
}
