// What the windows show and allow, the page view's navigation policy, and the menu trimmer.
#include "Fetched.h"
#include "MenuTrimmer.h"
#include "NavigationPolicy.h"
#include "Presentation.h"

#include <QGuiApplication>
#include <QTest>

using State = ServicePresentation::State;
Q_DECLARE_METATYPE(NavigationDecision)

namespace {

const QVariant none = QVariant::fromValue(nullptr);

class FakeMenuBar : public MenuBarAccess
{
public:
    QList<MenuBarEntry> items;
    mutable int reads = 0;

    QList<MenuBarEntry> entries() const override
    {
        ++reads;
        return items;
    }
    void removeEntry(int index) override { items.removeAt(index); }
    void add(const QString &title, const QString &submenuTitle = {})
    {
        items.append({title, submenuTitle});
        emit entryAddedOrChanged();
    }
    QStringList titles() const
    {
        QStringList result;
        for (const auto &item : items)
            result.append(item.title);
        return result;
    }
};

} // namespace

class UiRulesTest : public QObject
{
    Q_OBJECT

private:
    Presentation present_;

private slots:
    void statusCard_data()
    {
        QTest::addColumn<State>("state");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("subtitle");
        QTest::addColumn<QColor>("color");
        const QColor grey(0x8E, 0x8E, 0x93), orange(0xFF, 0x95, 0x00);
        QTest::newRow("notInstalled") << State::notInstalled << "尚未启用" << "启用后即可接收并管理打印任务" << grey;
        QTest::newRow("needsAdoption") << State::needsAdoption << "发现现有安装" << "迁移后可使用完整的管理与更新功能"
                                       << orange;
        QTest::newRow("stopped") << State::stopped << "已停止" << "管理页面当前不可访问" << grey;
        QTest::newRow("starting") << State::starting << "处理中" << "正在启动打印服务…" << orange;
        QTest::newRow("healthy") << State::healthy << "在线" << "打印服务和管理页面运行正常" << QColor(0x34, 0xC7, 0x59);
        QTest::newRow("unhealthy") << State::unhealthy << "服务异常" << "进程已运行，但健康检查未通过"
                                   << QColor(0xFF, 0x3B, 0x30);
    }
    void statusCard()
    {
        QFETCH(State, state);
        QCOMPARE(present_.statusTitle(state), FETCHED(QString, title));
        QCOMPARE(present_.statusSubtitle(state, QStringLiteral("正在启动打印服务…")), FETCHED(QString, subtitle));
        QCOMPARE(present_.statusColor(state), FETCHED(QColor, color));
    }

    void placeholder_data()
    {
        QTest::addColumn<bool>("installed");
        QTest::addColumn<bool>("running");
        QTest::addColumn<QString>("symbol");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("button");
        QTest::addColumn<Presentation::PlaceholderAction>("action");
        using A = Presentation::PlaceholderAction;
        const QString notInstalled = QStringLiteral("启用 Quillo Edge 后，这里会直接打开本机管理页面。");
        // "running" plays no part while nothing is installed.
        QTest::newRow("not installed") << false << true << "printer-symbolic" << "开始使用 Quillo Edge" << notInstalled
                                       << "启用 Quillo Edge" << A::Install;
        QTest::newRow("running, unhealthy")
            << true << true << "dialog-warning-symbolic" << "Edge Web 暂不可用"
            << "打印服务正在运行，但尚未通过健康检查。可以稍后重试或查看服务日志。" << "重新检查" << A::Recheck;
        QTest::newRow("stopped") << true << false << "dialog-warning-symbolic" << "Edge Web 暂不可用"
                                 << "打印服务已停止。启动后会自动打开管理页面。" << "启动打印服务" << A::Start;
    }
    void placeholder()
    {
        QFETCH(bool, installed);
        QFETCH(bool, running);
        QCOMPARE(present_.placeholderSymbol(installed), FETCHED(QString, symbol));
        QCOMPARE(present_.placeholderTitle(installed), FETCHED(QString, title));
        QCOMPARE(present_.placeholderMessage(installed, running), FETCHED(QString, message));
        QCOMPARE(present_.placeholderButtonTitle(installed, running), FETCHED(QString, button));
        QCOMPARE(present_.placeholderAction(installed, running), FETCHED(Presentation::PlaceholderAction, action));
    }

    // The page shows only for a healthy service whose address parses (an empty URL does not).
    void detailAreaAndServiceArea()
    {
        const QUrl page(QStringLiteral("http://127.0.0.1:6176"));
        QVERIFY(present_.showsDashboard(true, page));
        QVERIFY(!present_.showsDashboard(true, QUrl()));
        QVERIFY(!present_.showsDashboard(false, page));
        using Area = Presentation::ServiceArea;
        QCOMPARE(present_.serviceArea(false, false), Area::Install);
        QCOMPARE(present_.serviceArea(true, false), Area::Adoption);
        QCOMPARE(present_.serviceArea(true, true), Area::Controls);
        QCOMPARE(present_.versionText(QString()), QStringLiteral("未知"));
        QCOMPARE(present_.versionText(QStringLiteral("2.0.1")), QStringLiteral("2.0.1"));
        QCOMPARE(present_.installedVersionText(QString()), QStringLiteral("未安装"));
    }

    void updateCard_data()
    {
        QTest::addColumn<QVariant>("updateMessage");
        QTest::addColumn<bool>("checking");
        QTest::addColumn<bool>("installingManager");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("checkTitle");
        QTest::addColumn<bool>("canCheck");
        QTest::newRow("never checked") << none << false << false << "尚未检查更新" << "检查更新" << true;
        QTest::newRow("checking") << none << true << false << "正在检查更新…" << "检查中…" << false;
        QTest::newRow("message wins") << QVariant(QStringLiteral("已是最新")) << true << false << "已是最新" << "检查中…"
                                      << false;
        QTest::newRow("installing") << none << false << true << "尚未检查更新" << "检查更新" << false;
    }
    void updateCard()
    {
        QFETCH(bool, checking);
        QCOMPARE(present_.updateStatusText(FETCHED(QVariant, updateMessage), checking), FETCHED(QString, status));
        QCOMPARE(present_.checkButtonTitle(checking), FETCHED(QString, checkTitle));
        QCOMPARE(present_.canCheckForUpdates(checking, FETCHED(bool, installingManager)), FETCHED(bool, canCheck));
    }

    void updateHeadingAndVersionRows()
    {
        QCOMPARE(present_.updateHeading(true), QStringLiteral("有可用更新"));
        QCOMPARE(present_.updateHeading(false), QStringLiteral("软件更新"));
        QCOMPARE(present_.updateButtonTitle(true), QStringLiteral("正在更新…"));
        QCOMPARE(present_.updateButtonTitle(false), QStringLiteral("立即更新"));
        const QVariant release = QVariantMap{{QStringLiteral("version"), QStringLiteral("2.1.0")}};
        QVERIFY(!present_.showsServerVersionRow(false, none));
        QVERIFY(present_.showsServerVersionRow(false, release));
        QVERIFY(present_.showsServerVersionRow(true, none));
    }

    void activityAndAlert_data()
    {
        QTest::addColumn<bool>("busy");
        QTest::addColumn<bool>("installingManager");
        QTest::addColumn<QVariant>("updateMessage");
        QTest::addColumn<bool>("shows");
        QTest::addColumn<QString>("text");
        QTest::newRow("idle") << false << false << none << false << "正在启动打印服务…";
        QTest::newRow("command") << true << false << QVariant(QStringLiteral("u")) << true << "正在启动打印服务…";
        QTest::newRow("manager update") << false << true << none << true << "正在更新 Quillo Edge…";
        QTest::newRow("manager update message") << true << true << QVariant(QStringLiteral("正在下载…")) << true
                                                << "正在下载…";
    }
    void activityAndAlert()
    {
        QFETCH(bool, installingManager);
        QCOMPARE(present_.showsActivity(FETCHED(bool, busy), installingManager), FETCHED(bool, shows));
        QCOMPARE(present_.activityText(installingManager, FETCHED(QVariant, updateMessage),
                                       QStringLiteral("正在启动打印服务…")),
                 FETCHED(QString, text));
        QVERIFY(!present_.showsErrorAlert(none));
        QCOMPARE(present_.errorAlertText(QString()), QStringLiteral("未知错误"));
        QCOMPARE(present_.errorAlertText(QStringLiteral("失败")), QStringLiteral("失败"));
        QVERIFY(!present_.canRestart(false, false));
        QVERIFY(present_.canRestart(false, true));
        QVERIFY(!present_.canRestart(true, true));
    }

    // The settings window's update button and enabled rules.
    void settingsRules_data()
    {
        QTest::addColumn<bool>("managed");
        QTest::addColumn<bool>("busy");
        QTest::addColumn<bool>("checking");
        QTest::addColumn<bool>("installingServer");
        QTest::addColumn<bool>("installingManager");
        QTest::addColumn<QString>("updateTitle");
        QTest::addColumn<bool>("canCheck");
        QTest::addColumn<bool>("canSwitch");
        QTest::addColumn<bool>("canOpenFolders");
        QTest::addColumn<bool>("canRemove");
        QTest::newRow("managed, idle") << true << false << false << false << false << "立即更新" << true << true << true
                                       << true;
        QTest::newRow("checking") << true << false << true << false << false << "立即更新" << false << true << true
                                  << true;
        QTest::newRow("print service update") << true << true << false << true << false << "正在更新…" << false
                                              << false << true << false;
        QTest::newRow("manager update") << true << false << false << false << true << "正在更新…" << false << true
                                        << true << true;
        QTest::newRow("not managed") << false << false << false << false << false << "立即更新" << true << false
                                     << false << false;
        QTest::newRow("command running") << true << true << false << false << false << "立即更新" << true << false
                                         << true << false;
    }
    void settingsRules()
    {
        QFETCH(bool, managed);
        QFETCH(bool, busy);
        QFETCH(bool, installingServer);
        QFETCH(bool, installingManager);
        QCOMPARE(present_.settingsUpdateButtonTitle(installingServer, installingManager), FETCHED(QString, updateTitle));
        QCOMPARE(present_.canCheckForUpdatesInSettings(FETCHED(bool, checking), installingServer, installingManager),
                 FETCHED(bool, canCheck));
        QCOMPARE(present_.canChangeAutoStart(managed, busy), FETCHED(bool, canSwitch));
        QCOMPARE(present_.canOpenServiceFolders(managed), FETCHED(bool, canOpenFolders));
        QCOMPARE(present_.canRemoveService(managed, busy), FETCHED(bool, canRemove));
    }

    void navigationPolicy_data()
    {
        QTest::addColumn<QUrl>("url");
        QTest::addColumn<NavigationDecision>("decision");
        using D = NavigationDecision;
        QTest::newRow("no URL") << QUrl() << D::cancel;
        QTest::newRow("mailto, no host") << QUrl(QStringLiteral("mailto:help@quillo.dev")) << D::openInDesktop;
        QTest::newRow("local file") << QUrl(QStringLiteral("file:///etc/passwd")) << D::openInDesktop;
        QTest::newRow("service") << QUrl(QStringLiteral("http://127.0.0.1:6176/jobs")) << D::allow;
        QTest::newRow("other port") << QUrl(QStringLiteral("http://127.0.0.1:9999/")) << D::allow;
        QTest::newRow("capitals") << QUrl(QStringLiteral("http://LOCALHOST:6176/")) << D::allow;
        QTest::newRow("::1") << QUrl(QStringLiteral("http://[::1]:6176/")) << D::allow;
        QTest::newRow("other site") << QUrl(QStringLiteral("https://quillo.dev/")) << D::openInDesktop;
        QTest::newRow("other loopback") << QUrl(QStringLiteral("http://127.0.0.2/")) << D::openInDesktop;
        QTest::newRow("lookalike") << QUrl(QStringLiteral("http://localhost.quillo.dev/")) << D::openInDesktop;
        QTest::newRow("user info") << QUrl(QStringLiteral("http://127.0.0.1@quillo.dev/")) << D::openInDesktop;
    }
    void navigationPolicy()
    {
        QFETCH(QUrl, url);
        QCOMPARE(navigationDecision(url), FETCHED(NavigationDecision, decision));
    }

    void menuTrimmerRemovesExactlyTheStandardMenus()
    {
        MenuTrimmer trimmer;
        auto owned = std::make_unique<FakeMenuBar>();
        FakeMenuBar &bar = *owned;
        for (const char *title : {"Quillo Edge", "File", "Edit", "View", "文件", "编辑", "显示", "檔案", "編輯", "顯示",
                                  "Edit Tools", "edit", "Window"})
            bar.items.append({QString::fromUtf8(title), {}});
        bar.items.append({QStringLiteral("Untitled"), QStringLiteral("View")});
        trimmer.setAccess(std::move(owned));
        QCOMPARE(bar.reads, 0); // queued, not run at once
        QTRY_COMPARE(bar.reads, 1);
        QCOMPARE(bar.titles(), QStringList({"Quillo Edge", "Edit Tools", "edit", "Window"}));

        // A burst of additions before the trim runs leads to one trim, which removes them again;
        // its removals queue nothing further.
        bar.add(QStringLiteral("File"));
        bar.add(QStringLiteral("Help"));
        bar.add(QStringLiteral("编辑"));
        QTest::qWait(50);
        QCOMPARE(bar.reads, 2);
        QCOMPARE(bar.titles(), QStringList({"Quillo Edge", "Edit Tools", "edit", "Window", "Help"}));
    }
};

QTEST_MAIN(UiRulesTest)
#include "tst_ui_rules.moc"
