// The settings window, opened from the real main window, over a controller whose installer is a
// fixture script.
#include "ApplicationSetup.h"
#include "Fetched.h"
#include "WindowTestSupport.h"

#include <QQuickItem>
#include <QTest>

namespace {

const QString removeButton = QStringLiteral("removeServiceButton");
const QString confirmation = QStringLiteral("removalConfirmation");

} // namespace

class SettingsWindowTest : public QObject
{
    Q_OBJECT

private:
    ScriptedManager manager_{statusOf(true, true)};
    std::unique_ptr<LoadedWindow> main_;

    // The visible settings windows.
    QList<QQuickWindow *> settingsWindows() const
    {
        QList<QQuickWindow *> found;
        for (QWindow *window : QGuiApplication::topLevelWindows())
            if (window->objectName() == QStringLiteral("settingsWindow") && window->isVisible())
                found.append(qobject_cast<QQuickWindow *>(window));
        return found;
    }
    QQuickWindow *settings() const { return settingsWindows().value(0); }
    QQuickItem *item(const QString &name) const { return qobject_cast<QQuickItem *>(findNamed(settings(), name)); }
    QVariant read(const QString &name, const char *property) const
    {
        return findNamed(settings(), name)->property(property);
    }
    bool confirmationShows() const { return read(confirmation, "visible").toBool(); }

    bool openSettings(QWindow *from)
    {
        from->requestActivate();
        QTest::keyClick(from, Qt::Key_Comma, Qt::ControlModifier);
        return QTest::qWaitFor([&] { return settings() && settings()->isExposed(); });
    }
    int uninstalls() const { return manager_.callCount(QStringLiteral("uninstall")); }

private slots:
    void initTestCase()
    {
        QVERIFY2(manager_.error().isEmpty(), qPrintable(manager_.error()));
        main_ = std::make_unique<LoadedWindow>(QStringLiteral("/QuilloEdge/Main.qml"),
                                               QVariantMap{{QStringLiteral("controller"),
                                                            QVariant::fromValue(&manager_.controller())}});
        QVERIFY2(main_->window(), qPrintable(main_->error()));
        QVERIFY(manager_.waitUntilIdle());
        QTRY_VERIFY(!manager_.controller().isCheckingUpdates());
    }

    // The settings shortcut and menu item open one window, from any window, and bring it back
    // when asked again; the form is 520 wide with 24 around it, and the height is the form's.
    void oneWindowFollowingItsContent()
    {
        QVERIFY(settingsWindows().isEmpty());
        QVERIFY(openSettings(main_->window()));
        QVERIFY(openSettings(settings()));
        QMetaObject::invokeMethod(main_->find(QStringLiteral("settingsMenuItem")), "triggered");
        QCOMPARE(settingsWindows().size(), 1);

        QQuickItem *view = item(QStringLiteral("settingsView"));
        QCOMPARE(QRectF(view->x(), view->y(), view->width(), 0), QRectF(24, 24, 520, 0));
        QCOMPARE(settings()->width(), 568);
        QTRY_COMPARE(settings()->height(), int(view->height()) + 48);
    }

    // "移除打印服务…" only asks. Each way of answering but the removal leaves everything as it
    // was, and the confirmation is closed again, also in a window opened afresh.
    void dismissingRemovesNothing_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::newRow("取消") << "cancel";
        QTest::newRow("Return, 取消 has the focus") << "return";
        QTest::newRow("Escape") << "escape";
        QTest::newRow("closing the window") << "close";
    }
    void dismissingRemovesNothing()
    {
        QFETCH(QString, answer);
        QVERIFY(manager_.show(statusOf(true, true)));
        if (!settings())
            QVERIFY(openSettings(main_->window()));
        const int before = uninstalls();
        item(removeButton)->forceActiveFocus(Qt::TabFocusReason);
        QTest::keyClick(settings(), Qt::Key_Return);
        QTRY_VERIFY(confirmationShows());
        QVERIFY(!manager_.controller().isBusy());

        if (answer == QStringLiteral("cancel")) {
            clickItem(item(QStringLiteral("cancelRemovalButton")));
        } else if (answer == QStringLiteral("return")) {
            QTest::keyClick(settings(), Qt::Key_Return);
        } else if (answer == QStringLiteral("escape")) {
            QTest::keyClick(settings(), Qt::Key_Escape);
        } else {
            settings()->close();
            QTRY_VERIFY(!settings());
            QVERIFY(openSettings(main_->window()));
        }
        QTRY_VERIFY(!confirmationShows());
        QTest::qWait(300);
        QCOMPARE(uninstalls(), before);
        QVERIFY(manager_.controller().status().installed);
        QVERIFY(read(removeButton, "enabled").toBool());
    }

    // Two quick presses of "移除并保留数据" run one removal; the status read after it shows in
    // both windows at once.
    void removesOnce()
    {
        QVERIFY(manager_.show(statusOf(true, true)));
        const int before = uninstalls();
        clickItem(item(removeButton));
        QTRY_VERIFY(confirmationShows());
        manager_.set(QStringLiteral("uninstall"), QStringLiteral("sleep"), "1");
        QObject *remove = item(QStringLiteral("confirmRemovalButton"));
        QMetaObject::invokeMethod(remove, "clicked");
        QMetaObject::invokeMethod(remove, "clicked");
        QVERIFY(manager_.controller().isBusy());
        QVERIFY(!confirmationShows());
        QVERIFY(!read(removeButton, "enabled").toBool());
        manager_.setStatus(statusOf(false, false));
        QVERIFY(manager_.waitUntilIdle());
        manager_.set(QStringLiteral("uninstall"), QStringLiteral("sleep"), {});
        QCOMPARE(uninstalls() - before, 1);
        QVERIFY(manager_.calls().contains(QStringList({"uninstall", "--json"})));
        QCOMPARE(read(QStringLiteral("settingsVersionRow"), "value").toString(), QStringLiteral("未安装"));
        for (const QString control : {"settingsAutoStartSwitch", "settingsLogsButton", "settingsDataButton", "removeServiceButton"})
            QVERIFY2(!read(control, "enabled").toBool(), qPrintable(control));
        QCOMPARE(main_->read(QStringLiteral("statusTitle"), "text").toString(), QStringLiteral("尚未启用"));
    }

    // The switch asks the installer and then shows what the status says, not what was clicked.
    void switchShowsTheStatus_data()
    {
        QTest::addColumn<bool>("autoStart");
        QTest::addColumn<QString>("command");
        QTest::newRow("on") << false << "enable";
        QTest::newRow("off") << true << "disable";
    }
    void switchShowsTheStatus()
    {
        QFETCH(bool, autoStart);
        QFETCH(QString, command);
        QVERIFY(manager_.show(statusOf(true, true, false, false, autoStart)));
        const int before = manager_.callCount(command);
        manager_.set(command, QStringLiteral("sleep"), "0.5");
        clickItem(item(QStringLiteral("settingsAutoStartSwitch")));
        QVERIFY(manager_.controller().isBusy());
        QCOMPARE(read(QStringLiteral("settingsAutoStartSwitch"), "checked").toBool(), autoStart);
        QVERIFY(!read(QStringLiteral("settingsAutoStartSwitch"), "enabled").toBool());
        QVERIFY(manager_.waitUntilIdle());
        manager_.set(command, QStringLiteral("sleep"), {});
        QCOMPARE(manager_.callCount(command) - before, 1);
        QVERIFY(manager_.calls().contains(QStringList({command, "--json"})));
        QCOMPARE(read(QStringLiteral("settingsAutoStartSwitch"), "checked").toBool(), autoStart);
    }

    // Tab reaches every control of the window and of the confirmation, each has a name for
    // screen readers.
    void keyboardAndScreenReaders()
    {
        QVERIFY(manager_.show(statusOf(true, true)));
        int controls = 0;
        QCOMPARE(unreachableOrUnnamedControls(settings()->contentItem(), controls), QStringList());
        QVERIFY(controls >= 6);
        clickItem(item(removeButton));
        QTRY_VERIFY(confirmationShows());
        auto *dialog = read(confirmation, "contentItem").value<QQuickItem *>()->parentItem();
        QCOMPARE(unreachableOrUnnamedControls(dialog, controls), QStringList());
        QCOMPARE(controls, 2);
        QTest::keyClick(settings(), Qt::Key_Escape);
        QTRY_VERIFY(!confirmationShows());
    }
};

QUILLO_WINDOW_TEST_MAIN(SettingsWindowTest)
#include "tst_settings_window.moc"
