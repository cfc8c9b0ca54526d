// The plain window bench_window compares the manager window against: an ApplicationWindow of the
// same size with a few labels and buttons, Fusion style, Qt Quick Controls only (no web engine
// linked). Run by bench_window as a child; reports its first frame on standard output.
#include "WindowChild.h"

#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQuickStyle>

namespace {

const char *const plainWindow = R"(
import QtQuick
import QtQuick.Controls
import QtQuick.Layouts

ApplicationWindow {
    title: "Plain window"
    width: 1180
    height: 760
    visible: true

    ColumnLayout {
        anchors.centerIn: parent
        spacing: 12
        Label { text: "Plain window"; font.pixelSize: 22; font.weight: Font.DemiBold }
        Label { text: "A reference for start-up time, idle CPU and memory" }
        RowLayout {
            Button { text: "Start" }
            Button { text: "Stop" }
            Button { text: "Restart" }
        }
    }
}
)";

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication application(argc, argv);
    QQuickStyle::setStyle(QStringLiteral("Fusion"));

    QQmlApplicationEngine engine;
    engine.loadData(plainWindow);
    auto *window = qobject_cast<QQuickWindow *>(engine.rootObjects().value(0));
    if (!window)
        return 1;
    FrameReporter frames(window);
    quitWhenInputCloses();
    return application.exec();
}
