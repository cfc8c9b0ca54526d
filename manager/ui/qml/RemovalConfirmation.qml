import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import QuilloEdge
import QuilloEdge.Controller

// Asks before the print service is removed. Only "移除并保留数据" removes it; "取消", Escape
// or closing the window leave everything as it is.
Dialog {
    id: confirmation
    required property ServiceController controller
    objectName: "removalConfirmation"
    title: "确定移除打印服务？"
    modal: true
    closePolicy: Popup.CloseOnEscape
    anchors.centerIn: Overlay.overlay
    width: Math.min(400, Overlay.overlay ? Overlay.overlay.width - 48 : 400)
    padding: 20

    // The safe choice holds the focus, so Return alone never removes anything.
    onOpened: cancelButton.forceActiveFocus()

    RowLayout {
        anchors.fill: parent
        spacing: 14
        Symbol {
            name: "dialog-warning-symbolic"
            size: 32
            color: Theme.orange
            Layout.alignment: Qt.AlignTop
        }
        Label {
            text: "打印服务和可执行文件会被移除，管理应用及已有数据仍会保留。"
            wrapMode: Text.Wrap
            font.pixelSize: Theme.bodySize
            Layout.fillWidth: true
        }
    }
    header: Label {
        text: confirmation.title
        font.pixelSize: Theme.headlineSize
        font.weight: Font.DemiBold
        padding: 20
        bottomPadding: 0
    }
    // The safe choice first, the removal last and in red.
    footer: Pane {
        padding: 20
        topPadding: 4
        background: null
        RowLayout {
            anchors.fill: parent
            spacing: 8
            Item { Layout.fillWidth: true }
            ActionButton {
                id: cancelButton
                objectName: "cancelRemovalButton"
                text: "取消"
                onClicked: confirmation.close()
            }
            DestructiveButton {
                objectName: "confirmRemovalButton"
                text: "移除并保留数据"
                onClicked: {
                    confirmation.controller.uninstall()
                    confirmation.close()
                }
            }
        }
    }
}
