import QtQuick
import QtQuick.Controls
import QtQuick.Layouts

// A label in the secondary colour and, after a flexible gap, a one-line value the user can select.
RowLayout {
    id: row
    required property string label
    required property string value
    spacing: 12

    Label {
        text: row.label
        color: Theme.secondaryText
        font.pixelSize: Theme.bodySize
    }
    Item { Layout.fillWidth: true }
    TextInput {
        objectName: row.objectName + "Value"
        text: row.value
        readOnly: true
        selectByMouse: true
        clip: true
        font.pixelSize: Theme.bodySize
        color: palette.windowText
        horizontalAlignment: TextInput.AlignRight
        Layout.maximumWidth: row.width * 0.7
        Layout.preferredWidth: Math.min(implicitWidth, row.width * 0.7)
        Accessible.name: row.label
        ToolTip.text: row.value
        ToolTip.visible: hover.hovered && implicitWidth > width
        HoverHandler { id: hover }
    }
}
