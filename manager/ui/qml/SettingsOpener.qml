import QtQuick
import QtQuick.Window
import QuilloEdge
import QuilloEdge.Controller

// The one settings window: made when first asked for, brought to the front when asked again,
// and dropped when closed, so each opening starts afresh.
QtObject {
    id: opener
    required property ServiceController controller
    // It first opens over the middle of this window.
    property Window over
    property SettingsWindow window: null
    readonly property bool active: window !== null && window.active

    readonly property Component component: Component {
        SettingsWindow {
            onClosing: destroy()
        }
    }

    function show() {
        if (!window) {
            window = component.createObject(opener, { controller: opener.controller })
            if (over) {
                window.x = over.x + (over.width - window.width) / 2
                window.y = over.y + 60
            }
        }
        window.show()
        window.raise()
        window.requestActivate()
    }
}
