import QtQuick
import QtQuick.Controls
import QtQuick.Dialogs
import QtWebEngine
import QuilloEdge

// Saves what the page downloads where the user chooses, one download at a time. The download
// runs into a private folder while the user chooses; a file already there is replaced only when
// the user says so, and a cancelled choice saves nothing.
Item {
    id: saver
    property var download: null
    property url target: ""
    property url candidate: ""
    readonly property string staged: download ? download.downloadDirectory + "/" + download.downloadFileName : ""

    function take(request) {
        const folder = files.stagingFolder()
        if (download !== null || folder === "")
            return // not accepted, so the engine drops it
        request.downloadDirectory = folder
        request.downloadFileName = String(request.id)
        request.accept()
        download = request
        target = ""
        saveDialog.selectedFile = files.downloadsFolder() + "/" + encodeURIComponent(request.suggestedFileName)
        saveDialog.open()
    }
    function choose(file) {
        if (files.exists(file)) {
            candidate = file
            replaceConfirmation.open()
        } else {
            target = file
            finishIfDone()
        }
    }
    function drop() {
        download.cancel()
        files.discard(staged)
        download = null
    }
    // A place that cannot take the file is reported, and the user chooses another one.
    function finishIfDone() {
        if (download === null || !download.isFinished || target.toString() === "")
            return
        const completed = download.state === WebEngineDownloadRequest.DownloadCompleted
        if (completed && !files.place(staged, target)) {
            target = ""
            failure.show("下载的文件无法存储到所选位置，请另选一个位置。")
            return
        }
        if (!completed)
            failure.show("下载未能完成，文件没有存储。")
        files.discard(staged)
        download = null
    }
    function chooseAgain() {
        if (download !== null && target.toString() === "")
            saveDialog.open()
    }

    DownloadFiles { id: files }
    Connections {
        target: saver.download
        function onIsFinishedChanged() { saver.finishIfDone() }
    }
    FileDialog {
        id: saveDialog
        objectName: "downloadChooser"
        title: "存储下载的文件"
        acceptLabel: "存储"
        fileMode: FileDialog.SaveFile
        currentFolder: files.downloadsFolder()
        // The replacement is asked below, the same way with every kind of dialog.
        options: FileDialog.DontConfirmOverwrite
        onAccepted: saver.choose(selectedFile)
        onRejected: saver.drop()
    }
    Dialog {
        id: replaceConfirmation
        objectName: "replaceConfirmation"
        title: "要替换现有的文件吗？"
        modal: true
        closePolicy: Popup.CloseOnEscape
        anchors.centerIn: Overlay.overlay
        width: Math.min(400, Overlay.overlay ? Overlay.overlay.width - 48 : 400)
        padding: 20
        onOpened: keepButton.forceActiveFocus()
        onAccepted: {
            saver.target = saver.candidate
            saver.finishIfDone()
        }
        // Not replacing goes back to the choice of place.
        onRejected: saver.chooseAgain()

        Label {
            anchors.fill: parent
            text: "所选位置已有同名文件，替换后其原有内容将被覆盖。"
            wrapMode: Text.Wrap
            font.pixelSize: Theme.bodySize
        }
        header: Label {
            text: replaceConfirmation.title
            font.pixelSize: Theme.headlineSize
            font.weight: Font.DemiBold
            padding: 20
            bottomPadding: 0
        }
        footer: DialogButtonBox {
            ActionButton {
                id: keepButton
                objectName: "keepFileButton"
                text: "取消"
                DialogButtonBox.buttonRole: DialogButtonBox.RejectRole
            }
            DestructiveButton {
                objectName: "replaceFileButton"
                text: "替换"
                DialogButtonBox.buttonRole: DialogButtonBox.AcceptRole
            }
        }
    }
    MessageDialog {
        id: failure
        title: "下载的文件未能存储"
        buttons: MessageDialog.Ok
        onAccepted: saver.chooseAgain()
        onRejected: saver.chooseAgain()
        function show(message) {
            text = message
            open()
        }
    }
}
