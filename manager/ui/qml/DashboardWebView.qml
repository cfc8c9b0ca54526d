import QtQuick
import QtWebEngine
import QuilloEdge

// The print service's own management page. It stays on the local service: other addresses open
// in the user's browser, and no second browser window is ever opened here.
WebEngineView {
    id: view
    required property url pageUrl

    // Cookies and local storage of the page survive restarts, in the user's application data
    // folder. The web engine starts with the first page, not with the window.
    profile: WebEngineProfile {
        storageName: "ManagementPage"
        offTheRecord: false
        persistentCookiesPolicy: WebEngineProfile.ForcePersistentCookies
    }
    backgroundColor: "transparent"
    settings.fullScreenSupportEnabled: true

    function loadPage() {
        if (coordinator.shouldLoad(pageUrl)) {
            url = pageUrl
        }
    }
    onPageUrlChanged: loadPage()
    Component.onCompleted: loadPage()

    onNavigationRequested: request => {
        if (!coordinator.admit(request.url))
            request.reject()
    }
    onNewWindowRequested: request => {
        if (coordinator.admit(request.requestedUrl))
            view.url = request.requestedUrl
    }
    onFullScreenRequested: request => request.accept()
    onFileDialogRequested: request => {
        request.accepted = true
        chooser.choose(request)
    }
    onLoadingChanged: info => {
        if (info.status === WebEngineView.LoadStartedStatus)
            loadTimeout.restart()
        else
            loadTimeout.stop()
    }
    // A crashed renderer would leave a blank area; load the page again instead.
    onRenderProcessTerminated: (terminationStatus, exitCode) => Qt.callLater(view.reload)

    DashboardCoordinator { id: coordinator }
    FileChooser {
        id: chooser
        coordinator: coordinator
    }
    Timer {
        id: loadTimeout
        interval: 60000
        onTriggered: view.stop()
    }
}
