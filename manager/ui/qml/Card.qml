import QtQuick
import QtQuick.Layouts

// A rounded panel of the sidebar.
Rectangle {
    default property alias content: column.data
    property int padding: 14
    property alias spacing: column.spacing

    color: Theme.cardBackground
    border.color: Theme.cardBorder
    radius: Theme.cardRadius
    implicitHeight: column.implicitHeight + 2 * padding
    implicitWidth: column.implicitWidth + 2 * padding

    ColumnLayout {
        id: column
        anchors.fill: parent
        anchors.margins: parent.padding
        spacing: 8
    }
}
