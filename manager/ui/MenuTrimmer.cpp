#include "MenuTrimmer.h"

#include "QuickMenuBarAccess.h"

#include <QGuiApplication>
#include <QStringList>
#include <QTimer>

MenuTrimmer::MenuTrimmer(QObject *parent)
    : QObject(parent)
{
    connect(qGuiApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
        if (state == Qt::ApplicationActive)
            scheduleTrim();
    });
}

MenuTrimmer::~MenuTrimmer() = default;

void MenuTrimmer::setMenuBar(QObject *menuBar)
{
    if (menuBar_ == menuBar)
        return;
    menuBar_ = menuBar;
    setAccess(menuBar ? std::make_unique<QuickMenuBarAccess>(menuBar) : nullptr);
    emit menuBarChanged();
}

void MenuTrimmer::setAccess(std::unique_ptr<MenuBarAccess> access)
{
    access_ = std::move(access);
    if (!access_)
        return;
    connect(access_.get(), &MenuBarAccess::entryAddedOrChanged, this, &MenuTrimmer::scheduleTrim);
    scheduleTrim();
}

void MenuTrimmer::scheduleTrim()
{
    if (trimScheduled_)
        return;
    trimScheduled_ = true;
    // Bound to this object: a trimmer that is gone runs nothing.
    QTimer::singleShot(0, this, [this] {
        trimScheduled_ = false;
        removeUnusedMenus();
    });
}

void MenuTrimmer::removeUnusedMenus()
{
    if (!access_)
        return;
    const QList<MenuBarEntry> entries = access_->entries();
    QList<int> unused;
    for (int i = 0; i < entries.size(); ++i) {
        if (isUnusedMenuTitle(entries[i].title) || isUnusedMenuTitle(entries[i].submenuTitle))
            unused.append(i);
    }
    // From the back, so the earlier indices stay valid.
    for (auto it = unused.crbegin(); it != unused.crend(); ++it)
        access_->removeEntry(*it);
}

bool MenuTrimmer::isUnusedMenuTitle(const QString &title)
{
    static const QStringList titles{
        QStringLiteral("File"), QStringLiteral("Edit"), QStringLiteral("View"),
        QStringLiteral("文件"), QStringLiteral("编辑"), QStringLiteral("显示"),
        QStringLiteral("檔案"), QStringLiteral("編輯"), QStringLiteral("顯示"),
    };
    return titles.contains(title);
}
