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
    TextInput {
        objectName: row.objectName + "Value"
        text: row.value
        readOnly: true
        autoScroll: false
        selectByMouse: true
        clip: true
        font.pixelSize: Theme.bodySize
        color: palette.windowText
        // Right-aligned; a value too long for the row shows its beginning.
        horizontalAlignment: implicitWidth > width ? TextInput.AlignLeft : TextInput.AlignRight
        // It takes the rest of the row, so the gap before the value is part of it.
        Layout.fillWidth: true
        Accessible.name: row.label
        ToolTip.text: row.value
        ToolTip.visible: hover.hovered && implicitWidth > width
        HoverHandler { id: hover }
    }
}
