import QtQuick
import QtQuick.Dialogs
import QtWebEngine
import QuilloEdge

// Picks the files the management page asks for. Only an accepted choice reaches the page.
Item {
    id: chooser
    required property DashboardCoordinator coordinator
    property var request: null
    readonly property bool forFolder: request !== null && request.mode === FileDialogRequest.FileModeUploadFolder
    readonly property bool several: request !== null && request.mode === FileDialogRequest.FileModeOpenMultiple

    function choose(newRequest) {
        request = newRequest
        if (forFolder)
            folderDialog.open()
        else
            fileDialog.open()
    }
    function finish(urls) {
        if (request === null)
            return
        if (urls.length > 0)
            request.dialogAccept(coordinator.localPaths(urls))
        else
            request.dialogReject()
        request = null
    }

    FileDialog {
        id: fileDialog
        objectName: "fileChooser"
        title: "选择要打印的文件"
        acceptLabel: "选择"
        fileMode: chooser.several ? FileDialog.OpenFiles : FileDialog.OpenFile
        options: FileDialog.ReadOnly
        onAccepted: chooser.finish(selectedFiles)
        onRejected: chooser.finish([])
    }
    FolderDialog {
        id: folderDialog
        objectName: "folderChooser"
        title: "选择要打印的文件"
        acceptLabel: "选择"
        options: FolderDialog.ReadOnly
        onAccepted: chooser.finish([selectedFolder])
        onRejected: chooser.finish([])
    }
}
