import QtQuick
import QtQuick.Controls
import QtQuick.Layouts

RowLayout {
    spacing: 12

    Rectangle {
        implicitWidth: 52
        implicitHeight: 52
        radius: 12
        color: Theme.accent
        Symbol {
            anchors.centerIn: parent
            name: "printer-symbolic"
            size: 30
            color: "black"
        }
    }
    ColumnLayout {
        spacing: 2
        Label {
            text: "Quillo Edge"
            font.pixelSize: Theme.titleSize
            font.weight: Font.DemiBold
        }
        Label {
            text: "本机打印与设备接入"
            color: Theme.secondaryText
            font.pixelSize: Theme.captionSize
        }
    }
}
