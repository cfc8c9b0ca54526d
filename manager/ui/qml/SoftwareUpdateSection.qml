import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import QuilloEdge
import QuilloEdge.Controller

SettingsSection {
    id: section
    required property ServiceController controller
    title: "软件更新"

    Label {
        objectName: "settingsSummary"
        text: section.controller.softwareUpdateSummary
        textFormat: Text.PlainText
        color: Theme.secondaryText
        font.pixelSize: Theme.bodySize
        wrapMode: Text.Wrap
        Layout.fillWidth: true
    }
    RowLayout {
        objectName: "settingsUpdateRow"
        visible: section.controller.hasAvailableUpdates
        spacing: 8
        Layout.fillWidth: true
        Label {
            text: "Quillo Edge"
            font.pixelSize: Theme.bodySize
        }
        Item { Layout.fillWidth: true }
        ProminentButton {
            objectName: "settingsUpdateButton"
            text: Presentation.updateButtonTitle(section.controller.isInstallingServerUpdate
                                                 || section.controller.isInstallingManagerUpdate)
            enabled: section.controller.canUpdateSoftware
            onClicked: section.controller.updateAvailableSoftware()
        }
    }
    Divider {}
    VersionDetails {
        controller: section.controller
        Layout.fillWidth: true
    }
    Divider {}
    RowLayout {
        spacing: 10
        Layout.fillWidth: true
        ActionButton {
            objectName: "settingsCheckButton"
            text: "检查更新"
            enabled: !section.controller.isCheckingUpdates && !section.controller.isInstallingServerUpdate
                     && !section.controller.isInstallingManagerUpdate
            onClicked: section.controller.checkForUpdates(false)
        }
        // Runs only while a check runs: an idle indicator would redraw the window without end.
        BusyIndicator {
            visible: section.controller.isCheckingUpdates
            running: visible
            implicitWidth: 18
            implicitHeight: 18
        }
        Label {
            objectName: "settingsUpdateMessage"
            text: section.controller.updateMessage ?? ""
            color: Theme.secondaryText
            font.pixelSize: Theme.captionSize
            wrapMode: Text.Wrap
            Layout.fillWidth: true
        }
    }
    Label {
        text: "更新直接从 Quillo 发布服务下载并校验，不会跳转官网。"
        color: Theme.secondaryText
        font.pixelSize: Theme.captionSize
        wrapMode: Text.Wrap
        Layout.fillWidth: true
    }
}
