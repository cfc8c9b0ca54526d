import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import QuilloEdge.Controller

Dialog {
    id: about
    required property ServiceController controller
    title: "关于 Quillo Edge"
    modal: true
    anchors.centerIn: Overlay.overlay
    padding: 24

    ColumnLayout {
        spacing: 8
        HeaderView {}
        Label {
            text: "版本 " + about.controller.managerVersionLabel
            color: Theme.secondaryText
            font.pixelSize: Theme.bodySize
            Layout.topMargin: 8
        }
    }
    footer: DialogButtonBox {
        ActionButton {
            text: "好"
            DialogButtonBox.buttonRole: DialogButtonBox.AcceptRole
        }
    }
}
