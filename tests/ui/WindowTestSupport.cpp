#include "WindowTestSupport.h"

#include "ControllerTestSupport.h"

#include <QAccessible>
#include <QQuickItem>
#include <QSet>
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
    return findNamed(window_, objectName);
}

QObject *findNamed(const QWindow *window, const QString &objectName)
{
    QObject *object = window ? window->findChild<QObject *>(objectName) : nullptr;
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
    clickItem(qobject_cast<QQuickItem *>(find(objectName)));
}

void clickItem(QQuickItem *item)
{
    if (!item || !item->window())
        return;
    const QPointF centre = item->mapToScene(QPointF(item->width() / 2, item->height() / 2));
    QTest::mouseClick(item->window(), Qt::LeftButton, Qt::NoModifier, centre.toPoint());
}

bool showStatus(InstallerFixture &installer, ServiceController &controller, const ServiceStatus &status)
{
    installer.setStatus(status);
    const int reads = installer.callCount(QStringLiteral("status"));
    controller.refresh(false);
    const bool shown = QTest::qWaitFor(
        [&] { return installer.callCount(QStringLiteral("status")) > reads && controller.status() == status; }, 10000);
    QTest::qWait(100); // the read's task ends once its script has exited
    return shown;
}

QStringList unreachableOrUnnamedControls(QQuickItem *scope, int &controls)
{
    QSet<QQuickItem *> chain;
    for (QQuickItem *item = scope->nextItemInFocusChain(); item && !chain.contains(item);
         item = item->nextItemInFocusChain())
        chain.insert(item);
    QStringList faults;
    controls = 0;
    for (QQuickItem *item : scope->window()->findChildren<QQuickItem *>()) {
        if (!item->inherits("QQuickAbstractButton") || item->inherits("QQuickMenuBarItem") || !item->isVisible()
            || !scope->isAncestorOf(item))
            continue;
        ++controls;
        QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(item);
        if ((!chain.contains(item) && item->isEnabled()) || !accessible
            || accessible->text(QAccessible::Name).isEmpty())
            faults.append(item->objectName().isEmpty() ? QString::fromLatin1(item->metaObject()->className())
                                                       : item->objectName());
    }
    return faults;
}
