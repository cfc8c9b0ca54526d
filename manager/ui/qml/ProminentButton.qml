import QtQuick

// The one main action of a card or view, filled with the accent colour.
ActionButton {
    id: control
    palette.buttonText: "white"
    icon.color: "white"
    opacity: enabled ? 1 : 0.45
    background: Rectangle {
        implicitWidth: 80
        implicitHeight: 30
        radius: 6
        color: control.down ? Qt.darker(Theme.accent, 1.2) : control.hovered ? Qt.lighter(Theme.accent, 1.08) : Theme.accent
        border.width: control.visualFocus ? 2 : 0
        border.color: Qt.darker(Theme.accent, 1.6)
    }
}
