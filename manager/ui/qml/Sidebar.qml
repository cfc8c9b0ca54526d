import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import QuilloEdge
import QuilloEdge.Controller

Rectangle {
    id: sidebar
    required property ServiceController controller
    readonly property int area: Presentation.serviceArea(controller.status.installed, controller.status.managed)
    color: Theme.sidebarBackground

    Flickable {
        anchors.fill: parent
        contentWidth: width
        contentHeight: Math.max(height, column.implicitHeight + 2 * column.margin)
        boundsBehavior: Flickable.StopAtBounds
        clip: true
        ScrollBar.vertical: ScrollBar {}

        ColumnLayout {
            id: column
            readonly property int margin: 22
            x: margin
            y: margin
            width: parent.width - 2 * margin
            height: parent.height - 2 * margin
            spacing: 20

            HeaderView {}
            StatusCard {
                controller: sidebar.controller
                Layout.fillWidth: true
            }
            UpdateCard {
                controller: sidebar.controller
                Layout.fillWidth: true
            }
            Card {
                objectName: "serviceControlsCard"
                visible: sidebar.area === Presentation.ServiceArea.controls
                spacing: 12
                Layout.fillWidth: true
                ServiceControls {
                    controller: sidebar.controller
                    Layout.fillWidth: true
                }
                Rectangle {
                    implicitHeight: 1
                    color: Theme.divider
                    Layout.fillWidth: true
                }
                ServiceDetails {
                    controller: sidebar.controller
                    Layout.fillWidth: true
                }
            }
            AdoptionCard {
                objectName: "adoptionCard"
                visible: sidebar.area === Presentation.ServiceArea.adoption
                controller: sidebar.controller
                Layout.fillWidth: true
            }
            InstallCard {
                objectName: "installCard"
                visible: sidebar.area === Presentation.ServiceArea.install
                controller: sidebar.controller
                Layout.fillWidth: true
            }
            Item { Layout.fillHeight: true }
            ActivityFooter {
                objectName: "activityFooter"
                controller: sidebar.controller
                Layout.fillWidth: true
            }
        }
    }
}
