import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import QuilloEdge
import QuilloEdge.Controller

// The settings form: software update, the print service, maintenance and a closing note.
ColumnLayout {
    id: view
    required property ServiceController controller
    // Its only state of its own; false whenever the view is made.
    property bool confirmsUninstall: false
    spacing: 18

    SoftwareUpdateSection {
        controller: view.controller
        Layout.fillWidth: true
    }
    PrintServiceSection {
        controller: view.controller
        Layout.fillWidth: true
    }
    MaintenanceSection {
        controller: view.controller
        Layout.fillWidth: true
        onRemoveRequested: view.confirmsUninstall = true
    }
    Label {
        text: "移除服务默认保留打印历史、上传文件、管理员帐号和已配对设备。"
        color: Theme.secondaryText
        font.pixelSize: Theme.captionSize
        wrapMode: Text.Wrap
        Layout.fillWidth: true
        Layout.leftMargin: 4
    }

    RemovalConfirmation {
        controller: view.controller
        visible: view.confirmsUninstall
        onClosed: view.confirmsUninstall = false
    }
}
