import QtQuick
import QtQuick.Controls
import QuilloEdge.Controller

// The application menu: about, the refresh command right after it, settings, and quit.
MenuBar {
    id: bar
    required property ServiceController controller
    // How the settings shortcut reads on this platform.
    required property string settingsShortcut
    signal aboutRequested()
    signal settingsRequested()

    Menu {
        title: "Quillo Edge"
        MenuItem {
            text: "关于 Quillo Edge"
            onTriggered: bar.aboutRequested()
        }
        MenuSeparator {}
        ShortcutMenuItem {
            objectName: "refreshMenuItem"
            text: "刷新服务状态"
            shortcutText: "Ctrl+R"
            onTriggered: bar.controller.refresh(false)
        }
        MenuSeparator {}
        ShortcutMenuItem {
            objectName: "settingsMenuItem"
            text: "设置…"
            shortcutText: bar.settingsShortcut
            onTriggered: bar.settingsRequested()
        }
        MenuSeparator {}
        ShortcutMenuItem {
            text: "退出 Quillo Edge"
            shortcutText: "Ctrl+Q"
            onTriggered: Qt.quit()
        }
    }
}
