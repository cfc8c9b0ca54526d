import QtQuick
import QtWebEngine
import QuilloEdge

// The print service's own management page. Only the origin of the page it was given shows here;
// a link the user follows elsewhere opens in the desktop's browser, and no second browser window
// is ever opened here.
WebEngineView {
    id: view
    required property url pageUrl
    // The pauses before each reload of a crashed page; when they are used up the page stays
    // closed until the user asks for it again.
    property var reloadPauses: [1000, 5000, 30000]
    property int crashReloads: 0
    property bool gaveUp: false

    // Cookies and local storage of the page live in the user's application data folder; session
    // cookies end with the program. The web engine starts with the first page, not with the window.
    profile: WebEngineProfile {
        storageName: "ManagementPage"
        offTheRecord: false
        onDownloadRequested: download => saver.take(download)
    }
    backgroundColor: "transparent"
    settings.fullScreenSupportEnabled: true
    settings.javascriptCanAccessClipboard: false
    settings.javascriptCanPaste: false
    settings.screenCaptureEnabled: false

    // A new address, or the user's word, starts again with every reload.
    function loadPage() {
        if (coordinator.shouldLoad(pageUrl)) {
            crashReloads = 0
            gaveUp = false
            url = pageUrl
        }
    }
    function retry() {
        crashReloads = 0
        gaveUp = false
        reload()
    }
    onPageUrlChanged: loadPage()
    Component.onCompleted: {
        coordinator.watchInput(view)
        loadPage()
    }

    onNavigationRequested: request => {
        if (!coordinator.admitNavigation(request.url,
                                         request.navigationType === WebEngineNavigationRequest.LinkClickedNavigation,
                                         request.isMainFrame))
            request.reject()
    }
    onNewWindowRequested: request => {
        if (coordinator.admitNewWindow(request.requestedUrl, request.userInitiated))
            view.url = request.requestedUrl
    }
    // The page gets no device, no notifications and no protocol handlers; every request is
    // answered at once so none stays pending.
    onFeaturePermissionRequested: (origin, feature) => grantFeaturePermission(origin, feature, false)
    onRegisterProtocolHandlerRequested: request => request.reject()
    onFileSystemAccessRequested: request => request.reject()
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
        if (info.status === WebEngineView.LoadSucceededStatus)
            settled.restart()
        if (info.status === WebEngineView.LoadSucceededStatus || info.status === WebEngineView.LoadFailedStatus)
            coordinator.loadEnded(info.url, info.status === WebEngineView.LoadSucceededStatus)
    }
    // A renderer that crashed gets a few reloads, each after a longer pause; one that ended
    // normally was meant to end.
    onRenderProcessTerminated: terminationStatus => {
        settled.stop()
        if (terminationStatus === WebEngineView.NormalTerminationStatus)
            return
        if (crashReloads < reloadPauses.length) {
            crashReload.interval = reloadPauses[crashReloads++]
            crashReload.restart()
        } else {
            gaveUp = true
        }
    }

    DashboardCoordinator { id: coordinator }
    FileChooser {
        id: chooser
        coordinator: coordinator
    }
    DownloadSaver { id: saver }
    Timer {
        id: loadTimeout
        interval: 60000
        onTriggered: view.stop()
    }
    Timer {
        id: crashReload
        onTriggered: view.reload()
    }
    // A page that has run for a minute since its last load starts again with every reload.
    Timer {
        id: settled
        interval: 60000
        onTriggered: view.crashReloads = 0
    }
}
