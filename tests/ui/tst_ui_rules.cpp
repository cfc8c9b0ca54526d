// The update card's and activity footer's choices, the page view's navigation policy, and the
// menu trimmer.
#include "Fetched.h"
#include "MenuTrimmer.h"
#include "NavigationPolicy.h"
#include "Presentation.h"

#include <QGuiApplication>
#include <QTest>

Q_DECLARE_METATYPE(NavigationDecision)

namespace {

const QVariant none = QVariant::fromValue(nullptr);

class FakeMenuBar : public MenuBarAccess
{
public:
    QList<MenuBarEntry> items;
    mutable int reads = 0;

    QList<MenuBarEntry> entries() const override { return ++reads, items; }
    void removeEntry(int index) override { items.removeAt(index); }
    void add(const QString &title)
    {
        items.append({title, {}});
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
    // The update card, the activity footer and the main window's enabled rules.
    void mainWindowRules_data()
    {
        QTest::addColumn<bool>("busy");
        QTest::addColumn<bool>("checking");
        QTest::addColumn<bool>("installingManager");
        QTest::addColumn<QVariant>("updateMessage");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("activity"); // empty: no footer
        QTest::addColumn<bool>("canCheck");
        QTest::newRow("never checked") << false << false << false << none << "尚未检查更新" << "" << true;
        QTest::newRow("checking") << false << true << false << none << "正在检查更新…" << "" << false;
        QTest::newRow("message wins") << false << true << false << QVariant(QStringLiteral("已是最新")) << "已是最新"
                                      << "" << false;
        QTest::newRow("command") << true << false << false << QVariant(QStringLiteral("u")) << "u"
                                 << "正在启动打印服务…" << true;
        QTest::newRow("manager update") << false << false << true << none << "尚未检查更新"
                                        << "正在更新 Quillo Edge…" << false;
        QTest::newRow("manager update message") << true << false << true << QVariant(QStringLiteral("正在下载…"))
                                                << "正在下载…" << "正在下载…" << false;
    }
    void mainWindowRules()
    {
        QFETCH(bool, busy);
        QFETCH(bool, installingManager);
        QFETCH(QVariant, updateMessage);
        QFETCH(QString, activity);
        QCOMPARE(present_.updateStatusText(updateMessage, FETCHED(bool, checking)), FETCHED(QString, status));
        QCOMPARE(present_.canCheckForUpdates(FETCHED(bool, checking), installingManager), FETCHED(bool, canCheck));
        QCOMPARE(present_.showsActivity(busy, installingManager), !activity.isEmpty());
        if (!activity.isEmpty())
            QCOMPARE(present_.activityText(installingManager, updateMessage, QStringLiteral("正在启动打印服务…")),
                     activity);
        QCOMPARE(present_.canRestart(busy, true), !busy);
        QVERIFY(!present_.canRestart(busy, false));
    }

    void navigationPolicy_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<NavigationDecision>("decision");
        using D = NavigationDecision;
        QTest::newRow("no URL") << "" << D::cancel;
        QTest::newRow("mailto, no host") << "mailto:help@quillo.dev" << D::openInDesktop;
        QTest::newRow("local file") << "file:///etc/passwd" << D::openInDesktop;
        QTest::newRow("service") << "http://127.0.0.1:6176/jobs" << D::allow;
        QTest::newRow("other port") << "http://127.0.0.1:9999/" << D::allow;
        QTest::newRow("capitals") << "http://LOCALHOST:6176/" << D::allow;
        QTest::newRow("::1") << "http://[::1]:6176/" << D::allow;
        QTest::newRow("other site") << "https://quillo.dev/" << D::openInDesktop;
        QTest::newRow("other loopback") << "http://127.0.0.2/" << D::openInDesktop;
        QTest::newRow("lookalike") << "http://localhost.quillo.dev/" << D::openInDesktop;
        QTest::newRow("user info") << "http://127.0.0.1@quillo.dev/" << D::openInDesktop;
    }
    void navigationPolicy()
    {
        QCOMPARE(navigationDecision(QUrl(FETCHED(QString, url))), FETCHED(NavigationDecision, decision));
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
