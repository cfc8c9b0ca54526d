import QtQuick
import QtQuick.Controls
import QtQuick.Dialogs
import QtQuick.Layouts
import QtWebEngine
import QuilloEdge

// Saves what the page downloads where the user chooses, one download at a time. The download
// runs into a private folder while the user chooses; a file already there is replaced only when
// the user says so, and a cancelled choice saves nothing.
Item {
    id: saver
    property var download: null
    property url target: ""
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
    function finishIfDone() {
        if (download === null || !download.isFinished || target.toString() === "")
            return
        if (download.state !== WebEngineDownloadRequest.DownloadCompleted)
            failure.show("下载未完成：" + download.interruptReasonString)
        else if (!files.place(staged, target))
            failure.show("无法存储到所选位置：" + decodeURIComponent(target.toString().replace(/^file:\/\//, "")))
        files.discard(staged)
        download = null
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
            saver.target = saveDialog.selectedFile
            saver.finishIfDone()
        }
        // Not replacing goes back to the choice of place.
        onClosed: {
            if (saver.download !== null && saver.target.toString() === "")
                saveDialog.open()
        }

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
        function show(message) {
            text = message
            open()
        }
    }
}
