import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import QuilloEdge
import QuilloEdge.Controller

RowLayout {
    id: footer
    required property ServiceController controller
    visible: controller.isBusy || controller.isInstallingManagerUpdate
    spacing: 8

    // Runs only while work runs: an idle indicator would redraw the window without end.
    BusyIndicator {
        running: footer.visible
        implicitWidth: 18
        implicitHeight: 18
    }
    Label {
        objectName: "activityText"
        text: Presentation.activityText(footer.controller.isInstallingManagerUpdate, footer.controller.updateMessage,
                                        footer.controller.activityMessage)
        color: Theme.secondaryText
        font.pixelSize: Theme.captionSize
        elide: Text.ElideRight
        Layout.fillWidth: true
    }
}
