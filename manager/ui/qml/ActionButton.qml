import QtQuick
import QtQuick.Controls

// A button that Space, Enter and Return all press, named by its text for screen readers.
Button {
    id: control
    property string symbol
    icon.name: symbol
    icon.width: 16
    icon.height: 16
    font.pixelSize: Theme.bodySize
    Accessible.name: text
    Keys.onReturnPressed: control.clicked()
    Keys.onEnterPressed: control.clicked()
}
