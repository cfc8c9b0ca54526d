import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import QuilloEdge
import QuilloEdge.Controller

// Shows the controller's failure while there is one, and closes when it goes away; dismissing it
// clears the error. A new failure shows only where the user is (here), and one that shows already
// stays where it is, so each window that has this alert shows a failure at most once between them.
Dialog {
    id: alert
    required property ServiceController controller
    property bool here: true
    property bool hadError: false
    property string message
    objectName: "errorAlert"
    modal: true
    closePolicy: Popup.CloseOnEscape
    anchors.centerIn: Overlay.overlay
    width: Math.min(420, Overlay.overlay ? Overlay.overlay.width - 48 : 420)
    padding: 20

    function follow() {
        const present = controller.errorMessage !== null
        if (present && (visible || (here && !hadError))) {
            message = Presentation.errorAlertText(controller.errorMessage)
            open()
        } else if (!present) {
            close()
        }
        hadError = present
    }
    Component.onCompleted: follow()
    Connections {
        target: alert.controller
        function onErrorMessageChanged() { alert.follow() }
    }
    onClosed: {
        if (controller.errorMessage !== null)
            controller.errorMessage = null
    }

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
            text: alert.message
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
