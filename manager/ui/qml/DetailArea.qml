import QtQuick
import QuilloEdge
import QuilloEdge.Controller

// The management page while the service is healthy and its address parses, else a placeholder.
Rectangle {
    id: area
    required property ServiceController controller
    readonly property bool showsPage: Presentation.showsDashboard(controller.status.healthy, controller.dashboardUrl)
    color: Theme.windowBackground

    // A new view each time the service becomes healthy, so the page loads afresh.
    Loader {
        id: page
        objectName: "dashboardLoader"
        anchors.fill: parent
        active: area.showsPage
        sourceComponent: DashboardWebView {
            objectName: "dashboardView"
            pageUrl: area.controller.dashboardUrl
        }
    }
    DashboardPlaceholder {
        objectName: "placeholder"
        visible: !area.showsPage
        controller: area.controller
        anchors.centerIn: parent
        width: Math.min(460, parent.width - 48)
    }
}
