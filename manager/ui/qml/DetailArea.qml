import QtQuick
import QuilloEdge
import QuilloEdge.Controller

// The management page while the service is healthy and its address parses, else a placeholder;
// also the placeholder, with a way to try again, once a crashing page is no longer reloaded.
Item {
    id: area
    required property ServiceController controller
    readonly property bool showsPage: controller.status.healthy && controller.dashboardUrl.toString() !== ""
    readonly property bool pageFailed: page.item !== null && page.item.gaveUp

    // The page waits until the window's first frame has gone to be drawn, so the window and the
    // status come first; the web engine then starts while that frame is drawn.
    property bool windowShown: false
    Connections {
        target: area.Window.window
        enabled: !area.windowShown
        function onAfterSynchronizing() { area.windowShown = true }
    }

    // A new view each time the service becomes healthy, so the page loads afresh. The view comes
    // from its file only then: the web engine loads with the first page, not with the window.
    Loader {
        id: page
        objectName: "dashboardLoader"
        anchors.fill: parent
        active: area.showsPage && area.windowShown
        visible: !area.pageFailed
        Component.onCompleted: setSource("DashboardWebView.qml", {
            objectName: "dashboardView",
            pageUrl: Qt.binding(() => area.controller.dashboardUrl)
        })
    }
    DashboardPlaceholder {
        objectName: "placeholder"
        visible: !area.showsPage || area.pageFailed
        controller: area.controller
        pageFailed: area.pageFailed
        onRetryRequested: page.item.retry()
        anchors.centerIn: parent
        width: Math.min(460, parent.width - 48)
    }
}
