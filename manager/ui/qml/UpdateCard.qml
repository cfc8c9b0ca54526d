import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import QuilloEdge
import QuilloEdge.Controller

Card {
    id: card
    required property ServiceController controller
    readonly property bool hasUpdates: controller.hasAvailableUpdates

    RowLayout {
        spacing: 6
        Symbol {
            name: card.hasUpdates ? "software-update-available-symbolic" : "emblem-ok-symbolic"
            color: card.hasUpdates ? Theme.accent : Theme.secondaryText
        }
        Label {
            objectName: "updateHeading"
            text: card.hasUpdates ? "有可用更新" : "软件更新"
            font.pixelSize: Theme.headlineSize
            font.weight: Font.DemiBold
        }
    }
    Label {
        objectName: "updateSummary"
        text: card.controller.softwareUpdateSummary
        textFormat: Text.PlainText
        color: Theme.secondaryText
        font.pixelSize: Theme.captionSize
        wrapMode: Text.Wrap
        Layout.fillWidth: true
    }
    RowLayout {
        visible: card.hasUpdates
        spacing: 8
        ProminentButton {
            objectName: "updateNowButton"
            text: Presentation.updateButtonTitle(card.controller.isInstallingManagerUpdate)
            enabled: card.controller.canUpdateSoftware
            onClicked: card.controller.updateAvailableSoftware()
        }
        BusyIndicator {
            visible: card.controller.isInstallingManagerUpdate
            running: visible
            implicitWidth: 20
            implicitHeight: 20
        }
    }

    VersionDetails {
        controller: card.controller
        Layout.fillWidth: true
    }

    RowLayout {
        spacing: 8
        Layout.fillWidth: true
        Label {
            objectName: "updateStatus"
            text: Presentation.updateStatusText(card.controller.updateMessage, card.controller.isCheckingUpdates)
            color: Theme.secondaryText
            font.pixelSize: Theme.captionSize
            wrapMode: Text.Wrap
            maximumLineCount: 2
            elide: Text.ElideRight
            Layout.fillWidth: true
        }
        ActionButton {
            objectName: "cardCheckButton"
            text: card.controller.isCheckingUpdates ? "检查中…" : "检查更新"
            font.pixelSize: Theme.captionSize
            padding: 4
            enabled: !card.controller.isCheckingUpdates && !card.controller.isInstallingManagerUpdate
            onClicked: card.controller.checkForUpdates(false)
        }
    }
}
