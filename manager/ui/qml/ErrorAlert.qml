import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import QuilloEdge
import QuilloEdge.Controller

// Shows each failure the controller reports; dismissing it clears the error.
Dialog {
    id: alert
    required property ServiceController controller
    objectName: "errorAlert"
    modal: true
    closePolicy: Popup.CloseOnEscape
    anchors.centerIn: Overlay.overlay
    width: Math.min(420, Overlay.overlay ? Overlay.overlay.width - 48 : 420)
    padding: 20

    function showIfNeeded() {
        if (Presentation.showsErrorAlert(controller.errorMessage))
            open()
    }
    Component.onCompleted: showIfNeeded()
    Connections {
        target: alert.controller
        function onErrorMessageChanged() { alert.showIfNeeded() }
    }
    onClosed: controller.errorMessage = null

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
            objectName: "errorText"
            text: Presentation.errorAlertText(alert.controller.errorMessage)
            textFormat: Text.PlainText
            wrapMode: Text.Wrap
            font.pixelSize: Theme.bodySize
            Layout.fillWidth: true
        }
    }
    footer: DialogButtonBox {
        ProminentButton {
            objectName: "errorOkButton"
            text: "好"
            DialogButtonBox.buttonRole: DialogButtonBox.RejectRole
        }
    }
}
