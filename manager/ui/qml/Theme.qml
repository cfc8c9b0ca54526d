pragma Singleton
import QtQuick

// The few colours and type sizes every window shares.
QtObject {
    readonly property color accent: "#0A84FF"
    readonly property color secondaryText: "#6E6E73"
    readonly property color windowBackground: "#FBFBFD"
    readonly property color sidebarBackground: "#F2F2F5"
    readonly property color cardBackground: "#FFFFFF"
    readonly property color cardBorder: "#E1E1E6"
    readonly property color orange: "#FF9500"
    readonly property color green: "#34C759"
    readonly property color red: "#FF3B30"
    readonly property color grey: "#8E8E93"
    // The colour of each Presentation.Tone, in its order: neutral, attention, good, fault.
    readonly property var toneColors: [grey, orange, green, red]
    readonly property color adoptionBackground: "#FFF4E5"
    readonly property color adoptionBorder: "#FFD8A8"
    readonly property color divider: "#DCDCE1"
    readonly property color destructive: "#D70015"

    readonly property int bodySize: 13
    readonly property int captionSize: 12
    readonly property int headlineSize: 14
    readonly property int titleSize: 18
    readonly property int cardRadius: 10
}
