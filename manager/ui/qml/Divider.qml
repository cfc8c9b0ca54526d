import QtQuick
import QtQuick.Layouts

// A hairline between the rows of a card.
Rectangle {
    implicitHeight: 1
    color: Theme.divider
    Layout.fillWidth: true
}
