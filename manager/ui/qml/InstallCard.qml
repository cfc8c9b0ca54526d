import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import QuilloEdge
import QuilloEdge.Controller

Card {
    id: card
    required property ServiceController controller
    spacing: 10

    Label {
        text: "启用 Quillo Edge"
        font.pixelSize: Theme.headlineSize
        font.weight: Font.DemiBold
    }
    Label {
        text: "启用本机打印服务和管理页面，数据保存在当前用户目录，不需要管理员密码。"
        color: Theme.secondaryText
        font.pixelSize: Theme.captionSize
        wrapMode: Text.Wrap
        Layout.fillWidth: true
    }
    ProminentButton {
        objectName: "installButton"
        text: "启用并启动"
        symbol: "system-shutdown-symbolic"
        // The first action a new user takes, so it holds the keyboard focus.
        focus: true
        enabled: !card.controller.isBusy
        onClicked: card.controller.install()
    }
}
