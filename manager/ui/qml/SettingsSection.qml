import QtQuick
import QtQuick.Controls
import QtQuick.Layouts

// One group of the settings form: its heading above a card holding its rows.
ColumnLayout {
    id: group
    required property string title
    default property alias content: card.content
    spacing: 6

    Label {
        text: group.title
        font.pixelSize: Theme.headlineSize
        font.weight: Font.DemiBold
        Layout.leftMargin: 4
        Accessible.role: Accessible.Heading
    }
    Card {
        id: card
        spacing: 10
        Layout.fillWidth: true
    }
}
