import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import QuilloEdge
import QuilloEdge.Controller

Card {
    id: card
    required property ServiceController controller
    readonly property color stateColor: Theme.toneColors[Presentation.statusTone(controller.presentationState)]

    RowLayout {
        spacing: 12
        Layout.fillWidth: true

        // The dot in the state colour, with a soft glow of the same colour at 35%.
        Item {
            implicitWidth: 20
            implicitHeight: 20
            Layout.alignment: Qt.AlignTop
            Rectangle {
                anchors.centerIn: parent
                width: 20; height: 20; radius: 10
                color: Qt.rgba(card.stateColor.r, card.stateColor.g, card.stateColor.b, 0.12)
            }
            Rectangle {
                anchors.centerIn: parent
                width: 15; height: 15; radius: 7.5
                color: Qt.rgba(card.stateColor.r, card.stateColor.g, card.stateColor.b, 0.35)
            }
            Rectangle {
                objectName: "statusDot"
                anchors.centerIn: parent
                width: 10; height: 10; radius: 5
                color: card.stateColor
            }
        }
        ColumnLayout {
            spacing: 2
            Layout.fillWidth: true
            Label {
                objectName: "statusTitle"
                text: Presentation.statusTitle(card.controller.presentationState)
                font.pixelSize: Theme.headlineSize
                font.weight: Font.DemiBold
            }
            Label {
                objectName: "statusSubtitle"
                text: Presentation.statusSubtitle(card.controller.presentationState, card.controller.activityMessage)
                color: Theme.secondaryText
                font.pixelSize: Theme.captionSize
                wrapMode: Text.Wrap
                maximumLineCount: 2
                elide: Text.ElideRight
                Layout.fillWidth: true
            }
        }
    }
}
