import QtQuick
import QtQuick.Controls
import QuilloEdge
import QuilloEdge.Controller

ApplicationWindow {
    id: window
    required property ServiceController controller

    title: "Quillo Edge"
    width: 1180
    height: 760
    minimumWidth: 920
    minimumHeight: 620
    visible: true
    // The window's own colour is the page background: no item paints it again.
    color: Theme.windowBackground
    background: null

    menuBar: AppMenuBar {
        controller: window.controller
        settingsShortcut: settingsShortcut.nativeText
        onAboutRequested: about.open()
        onSettingsRequested: settings.show()
    }
    header: MainToolBar { controller: window.controller }

    SplitView {
        anchors.fill: parent
        Sidebar {
            controller: window.controller
            SplitView.minimumWidth: 280
            SplitView.preferredWidth: 310
            SplitView.maximumWidth: 360
        }
        DetailArea {
            controller: window.controller
            SplitView.fillWidth: true
        }
    }

    // A failure shows in the settings window instead while the user works there.
    ErrorAlert {
        controller: window.controller
        here: !settings.active
    }
    AboutDialog {
        id: about
        controller: window.controller
    }
    MenuTrimmer { menuBar: window.menuBar }
    SettingsOpener {
        id: settings
        controller: window.controller
        over: window
    }

    // From any window of the application.
    Shortcut {
        sequence: "Ctrl+R"
        context: Qt.ApplicationShortcut
        onActivated: window.controller.refresh(false)
    }
    Shortcut {
        id: settingsShortcut
        sequence: Presentation.settingsShortcut()
        context: Qt.ApplicationShortcut
        onActivated: settings.show()
    }
    Shortcut {
        sequence: StandardKey.Quit
        context: Qt.ApplicationShortcut
        onActivated: Qt.quit()
    }

    // The status is polled while this window is open; closing it quits the application.
    Component.onCompleted: controller.startPolling()
    Component.onDestruction: controller.stopPolling()
    onClosing: Qt.quit()
}
