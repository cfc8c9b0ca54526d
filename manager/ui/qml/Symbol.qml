import QtQuick
import QtQuick.Controls.impl

// A freedesktop theme icon, tinted.
IconImage {
    property int size: 16
    sourceSize: Qt.size(size, size)
    Accessible.ignored: true
}
