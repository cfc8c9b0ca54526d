import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import QuilloEdge
import QuilloEdge.Controller

ColumnLayout {
    id: details
    required property ServiceController controller
    spacing: 6

    Label {
        text: "打印服务信息"
        font.pixelSize: Theme.headlineSize
        font.weight: Font.DemiBold
        Layout.bottomMargin: 2
    }
    DetailRow {
        objectName: "versionRow"
        label: "版本"
        value: details.controller.status.version || "未知"
        Layout.fillWidth: true
    }
    DetailRow {
        objectName: "addressRow"
        label: "地址"
        value: details.controller.status.url
        Layout.fillWidth: true
    }
    DetailRow {
        objectName: "portRow"
        label: "端口"
        value: String(details.controller.status.port)
        Layout.fillWidth: true
    }
    RowLayout {
        spacing: 4
        ActionButton {
            objectName: "logsButton"
            text: "日志"
            symbol: "text-x-generic-symbolic"
            flat: true
            palette.buttonText: Theme.accent
            onClicked: details.controller.openLogs()
        }
        ActionButton {
            objectName: "dataButton"
            text: "数据"
            symbol: "drive-harddisk-symbolic"
            flat: true
            palette.buttonText: Theme.accent
            onClicked: details.controller.openDataDirectory()
        }
    }
}
