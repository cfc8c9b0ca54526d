import QtQuick
import QtQuick.Controls
import QtQuick.Layouts

// A menu item whose title stays exactly as written, with its shortcut shown beside it.
MenuItem {
    id: item
    property string shortcutText

    contentItem: RowLayout {
        spacing: 24
        Label {
            text: item.text
            color: item.enabled ? item.palette.windowText : item.palette.mid
            Layout.fillWidth: true
        }
        Label {
            text: item.shortcutText
            color: Theme.secondaryText
        }
    }
}
