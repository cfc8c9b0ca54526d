import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import QuilloEdge
import QuilloEdge.Controller

Card {
    id: card
    required property ServiceController controller
    spacing: 10
    color: Theme.adoptionBackground
    border.color: Theme.adoptionBorder

    Label {
        text: "迁移现有安装"
        font.pixelSize: Theme.headlineSize
        font.weight: Font.DemiBold
    }
    Label {
        text: "检测到旧版打印服务。迁移后即可统一管理和更新，打印历史与配对信息保持不变。"
        color: Theme.secondaryText
        font.pixelSize: Theme.captionSize
        wrapMode: Text.Wrap
        Layout.fillWidth: true
    }
    ProminentButton {
        objectName: "adoptButton"
        text: "迁移并启用"
        symbol: "emblem-synchronizing-symbolic"
        enabled: !card.controller.isBusy
        onClicked: card.controller.install()
    }
}
