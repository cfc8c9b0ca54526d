#include "WindowTestSupport.h"

#include <QQuickItem>
#include <QTest>
#include <QtQml/qqmlextensionplugin.h>

Q_IMPORT_QML_PLUGIN(QuilloEdgeUiPlugin)
Q_IMPORT_QML_PLUGIN(QuilloEdgeControllerPlugin)

LoadedWindow::LoadedWindow(const QString &qrcPath, const QVariantMap &initialProperties)
{
    prepare();
    engine_.setInitialProperties(initialProperties);
    engine_.load(QUrl(QStringLiteral("qrc:") + qrcPath));
    created();
}

LoadedWindow::LoadedWindow(const QByteArray &qml)
{
    prepare();
    engine_.loadData(qml, QUrl(QStringLiteral("qrc:/QuilloEdgeTest/Window.qml")));
    created();
}

void LoadedWindow::prepare()
{
    engine_.addImportPath(QStringLiteral("qrc:/"));
    QObject::connect(&engine_, &QQmlApplicationEngine::warnings, [this](const QList<QQmlError> &warnings) {
        for (const QQmlError &warning : warnings)
            error_ += warning.toString() + QLatin1Char('\n');
    });
}

void LoadedWindow::created()
{
    if (!engine_.rootObjects().isEmpty())
        window_ = qobject_cast<QQuickWindow *>(engine_.rootObjects().constFirst());
    if (!window_)
        error_ += QStringLiteral("no window was created\n");
    else if (!QTest::qWaitForWindowExposed(window_))
        error_ += QStringLiteral("the window was never shown\n");
}

QObject *LoadedWindow::find(const QString &objectName) const
{
    QObject *object = window_ ? window_->findChild<QObject *>(objectName) : nullptr;
    if (!object)
        QTest::qFail(qPrintable(QStringLiteral("no object named ") + objectName), __FILE__, __LINE__);
    return object;
}

QVariant LoadedWindow::read(const QString &objectName, const char *property) const
{
    const QObject *object = find(objectName);
    return object ? object->property(property) : QVariant();
}

void LoadedWindow::click(const QString &objectName) const
{
    auto *item = qobject_cast<QQuickItem *>(find(objectName));
    if (!item)
        return;
    const QPointF centre = item->mapToScene(QPointF(item->width() / 2, item->height() / 2));
    QTest::mouseClick(window_, Qt::LeftButton, Qt::NoModifier, centre.toPoint());
}
