// The real main window over a controller whose installer is a fixture script.
#include "ApplicationSetup.h"
#include "Fetched.h"
#include "WindowTestSupport.h"

#include <QQuickItem>
#include <QTest>

class MainWindowTest : public QObject
{
    Q_OBJECT

private:
    ScriptedManager manager_{statusOf(false, false)};
    std::unique_ptr<LoadedWindow> window_;

    QString text(const QString &name) const { return window_->read(name, "text").toString(); }
    bool visible(const QString &name) const { return window_->read(name, "visible").toBool(); }
    bool enabled(const QString &name) const { return window_->read(name, "enabled").toBool(); }


private slots:
    void initTestCase()
    {
        QVERIFY2(manager_.error().isEmpty(), qPrintable(manager_.error()));
        window_ = std::make_unique<LoadedWindow>(QStringLiteral("/QuilloEdge/Main.qml"),
                                                 QVariantMap{{QStringLiteral("controller"),
                                                              QVariant::fromValue(&manager_.controller())}});
        QVERIFY2(window_->window(), qPrintable(window_->error()));
        QCOMPARE(window_->window()->title(), QStringLiteral("Quillo Edge"));
        QCOMPARE(window_->window()->minimumSize(), QSize(920, 620));
        // Showing the window starts the polling.
        QVERIFY(manager_.controller().isPolling());
        QTRY_VERIFY(manager_.callCount(QStringLiteral("status")) >= 1);
        QVERIFY(manager_.waitUntilIdle());
        QTRY_VERIFY(!manager_.controller().isCheckingUpdates());
    }

    void cleanupTestCase()
    {
        window_.reset();
        QVERIFY(!manager_.controller().isPolling());
    }

    void showsEachState_data()
    {
        QTest::addColumn<ServiceStatus>("status");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("area");
        QTest::addColumn<QString>("placeholder"); // empty: the page shows
        QTest::addColumn<QString>("placeholderButton");
        QTest::addColumn<bool>("serverVersionRow");
        QTest::newRow("not installed") << statusOf(false, false, false, false) << "尚未启用" << "installCard"
                                       << "开始使用 Quillo Edge" << "启用 Quillo Edge" << false;
        QTest::newRow("not managed, running") << statusOf(true, false, true, false) << "发现现有安装" << "adoptionCard"
                                              << "Edge Web 暂不可用" << "重新检查" << true;
        QTest::newRow("not managed, healthy") << statusOf(true, false, true, true) << "发现现有安装" << "adoptionCard"
                                              << "" << "" << true;
        QTest::newRow("unhealthy") << statusOf(true, true, true, false) << "服务异常" << "serviceControlsCard"
                                   << "Edge Web 暂不可用" << "重新检查" << true;
        QTest::newRow("stopped") << statusOf(true, true) << "已停止" << "serviceControlsCard"
                                 << "Edge Web 暂不可用" << "启动打印服务" << true;
        ServiceStatus badUrl = statusOf(true, true, true, true);
        badUrl.url = QStringLiteral("http://127.0.0.1:6176/a b");
        QTest::newRow("healthy, address does not parse") << badUrl << "在线" << "serviceControlsCard"
                                                         << "Edge Web 暂不可用" << "重新检查" << true;
        QTest::newRow("healthy") << statusOf(true, true, true, true) << "在线" << "serviceControlsCard" << "" << ""
                                 << true;
    }
    void showsEachState()
    {
        QFETCH(ServiceStatus, status);
        QFETCH(QString, area);
        QFETCH(QString, placeholder);
        QVERIFY(manager_.show(status));
        QCOMPARE(text(QStringLiteral("statusTitle")), FETCHED(QString, title));
        for (const QString card : {"installCard", "adoptionCard", "serviceControlsCard"})
            QCOMPARE(visible(card), card == area);
        QCOMPARE(visible(QStringLiteral("placeholder")), !placeholder.isEmpty());
        QCOMPARE(window_->read(QStringLiteral("dashboardLoader"), "active").toBool(), placeholder.isEmpty());
        if (!placeholder.isEmpty()) {
            QCOMPARE(text(QStringLiteral("placeholderTitle")), placeholder);
            QCOMPARE(text(QStringLiteral("placeholderButton")), FETCHED(QString, placeholderButton));
        }
        if (status.managed) {
            QCOMPARE(text(QStringLiteral("runButton")), status.running ? QStringLiteral("停止") : QStringLiteral("启动"));
            QCOMPARE(window_->read(QStringLiteral("versionRow"), "value").toString(), QStringLiteral("未知"));
        }
        QCOMPARE(enabled(QStringLiteral("toolbarOpenInBrowser")), status.healthy);
        // No update is known: a plain heading, no update button.
        QCOMPARE(text(QStringLiteral("updateHeading")), QStringLiteral("软件更新"));
        QVERIFY(!visible(QStringLiteral("updateNowButton")));
        window_->click(QStringLiteral("versionDetailsToggle"));
        QCOMPARE(visible(QStringLiteral("serverVersionRow")), FETCHED(bool, serverVersionRow));
        window_->click(QStringLiteral("versionDetailsToggle"));
    }

    // While a command runs the status reads "处理中" with the command's text, everywhere; a
    // thousand presses of a button that stays enabled run the command once.
    void runsOneCommandAtATime()
    {
        QVERIFY(manager_.show(statusOf(true, true)));
        manager_.set(QStringLiteral("start"), QStringLiteral("sleep"), "3"); // outlasts the presses, also under sanitizers
        const int startsBefore = manager_.callCount(QStringLiteral("start"));
        for (int i = 0; i < 1000; ++i)
            window_->click(QStringLiteral("placeholderButton"));
        QTRY_VERIFY(manager_.controller().isBusy());
        QCOMPARE(text(QStringLiteral("statusTitle")), QStringLiteral("处理中"));
        QCOMPARE(text(QStringLiteral("statusSubtitle")), QStringLiteral("正在启动打印服务…"));
        QVERIFY(visible(QStringLiteral("activityFooter")));
        QCOMPARE(text(QStringLiteral("activityText")), QStringLiteral("正在启动打印服务…"));
        QVERIFY(!enabled(QStringLiteral("runButton")));
        QVERIFY(!enabled(QStringLiteral("toolbarRefresh")));
        QVERIFY(manager_.waitUntilIdle());
        manager_.set(QStringLiteral("start"), QStringLiteral("sleep"), {});
        QCOMPARE(manager_.callCount(QStringLiteral("start")) - startsBefore, 1);
        QVERIFY(!visible(QStringLiteral("activityFooter")));

        window_->click(QStringLiteral("runButton"));
        QTRY_COMPARE(manager_.callCount(QStringLiteral("start")) - startsBefore, 2);
        QVERIFY(manager_.calls().contains(QStringList({"start", "--json"})));
        QVERIFY(manager_.waitUntilIdle());
    }

    // Tab reaches every control and each has a name for screen readers. Return presses the
    // focused button, Ctrl+R refreshes from anywhere, and a failed read shows the alert until "好".
    void keyboardAndErrorAlert()
    {
        QVERIFY(manager_.show(statusOf(true, true)));
        int controls = 0;
        QCOMPARE(unreachableOrUnnamedControls(window_->window()->contentItem(), controls), QStringList());
        QVERIFY(controls >= 10);

        int reads = manager_.callCount(QStringLiteral("status"));
        manager_.set(QStringLiteral("status"), QStringLiteral("exit"), "3");
        manager_.set(QStringLiteral("status"), QStringLiteral("stderr"), "状态读取失败\n");
        qobject_cast<QQuickItem *>(window_->find(QStringLiteral("toolbarRefresh")))->forceActiveFocus(Qt::TabFocusReason);
        QTest::keyClick(window_->window(), Qt::Key_Return);
        QTRY_VERIFY(manager_.callCount(QStringLiteral("status")) > reads);
        QTRY_VERIFY(visible(QStringLiteral("errorAlert")));
        QCOMPARE(text(QStringLiteral("errorText")), manager_.controller().errorMessage().value_or(QString()));
        QVERIFY(!text(QStringLiteral("errorText")).isEmpty());
        manager_.set(QStringLiteral("status"), QStringLiteral("exit"), {});
        manager_.set(QStringLiteral("status"), QStringLiteral("stderr"), {});
        window_->click(QStringLiteral("errorOkButton"));
        QTRY_VERIFY(!visible(QStringLiteral("errorAlert")));
        QCOMPARE(manager_.controller().errorMessage(), std::nullopt);

        reads = manager_.callCount(QStringLiteral("status"));
        window_->window()->requestActivate();
        QTest::keyClick(window_->window(), Qt::Key_R, Qt::ControlModifier);
        QTRY_VERIFY(manager_.callCount(QStringLiteral("status")) > reads);
    }
};

QUILLO_WINDOW_TEST_MAIN(MainWindowTest)
#include "tst_main_window.moc"
