import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import QuilloEdge
import QuilloEdge.Controller

ColumnLayout {
    id: placeholder
    required property ServiceController controller
    readonly property bool installed: controller.status.installed
    readonly property bool running: controller.status.running
    spacing: 18

    Symbol {
        name: Presentation.placeholderSymbol(placeholder.installed)
        size: 64
        color: Presentation.statusColor(placeholder.controller.presentationState)
        Layout.alignment: Qt.AlignHCenter
    }
    Label {
        objectName: "placeholderTitle"
        text: Presentation.placeholderTitle(placeholder.installed)
        font.pixelSize: 22
        font.bold: true
        Layout.alignment: Qt.AlignHCenter
    }
    Label {
        objectName: "placeholderMessage"
        text: Presentation.placeholderMessage(placeholder.installed, placeholder.running)
        color: Theme.secondaryText
        font.pixelSize: Theme.bodySize
        horizontalAlignment: Text.AlignHCenter
        wrapMode: Text.Wrap
        Layout.maximumWidth: 460
        Layout.alignment: Qt.AlignHCenter
    }
    ProminentButton {
        objectName: "placeholderButton"
        text: Presentation.placeholderButtonTitle(placeholder.installed, placeholder.running)
        Layout.alignment: Qt.AlignHCenter
        // Never disabled: the controller ignores the press while a command runs.
        onClicked: {
            switch (Presentation.placeholderAction(placeholder.installed, placeholder.running)) {
            case Presentation.Install: placeholder.controller.install(); break
            case Presentation.Start: placeholder.controller.start(); break
            case Presentation.Recheck: placeholder.controller.refresh(false); break
            }
        }
    }
}
