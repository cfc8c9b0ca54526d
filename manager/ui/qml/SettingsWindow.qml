import QtQuick
import QtQuick.Controls
import QuilloEdge
import QuilloEdge.Controller

// The settings window: the form 520 wide with 24 around it; its height follows the form.
ApplicationWindow {
    id: window
    required property ServiceController controller
    readonly property int margin: 24

    objectName: "settingsWindow"
    title: "设置"
    color: Theme.sidebarBackground
    width: view.width + 2 * margin
    height: view.implicitHeight + 2 * margin
    minimumWidth: width
    maximumWidth: width
    minimumHeight: height
    maximumHeight: height

    SettingsView {
        id: view
        objectName: "settingsView"
        controller: window.controller
        x: window.margin
        y: window.margin
        width: 520
    }
    // Failures show here while this is the active window, over what the user works on.
    ErrorAlert {
        id: alert
        controller: window.controller
        here: window.active
    }
    // Closing the window dismisses its alert too.
    onClosing: {
        if (alert.visible)
            controller.errorMessage = null
    }
}
