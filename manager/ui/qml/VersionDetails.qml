import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import QuilloEdge
import QuilloEdge.Controller

// "版本详情", collapsed until opened: the manager's version and, when there is one, the print service's.
ColumnLayout {
    id: details
    required property ServiceController controller
    spacing: 4

    ActionButton {
        id: toggle
        objectName: "versionDetailsToggle"
        text: "版本详情"
        // A disclosure, not a button that stays pressed.
        property bool expanded: false
        flat: true
        symbol: expanded ? "pan-down-symbolic" : "pan-end-symbolic"
        padding: 2
        leftPadding: 0
        onClicked: expanded = !expanded
        Accessible.role: Accessible.ButtonDropDown
    }
    ColumnLayout {
        visible: toggle.expanded
        spacing: 4
        Layout.fillWidth: true
        Layout.leftMargin: 8
        DetailRow {
            objectName: "managerVersionRow"
            label: "管理应用"
            value: details.controller.managerVersionDetail
            Layout.fillWidth: true
        }
        DetailRow {
            objectName: "serverVersionRow"
            visible: details.controller.status.installed || details.controller.serverUpdate !== null
            label: "打印服务"
            value: details.controller.serverVersionDetail
            Layout.fillWidth: true
        }
    }
}
