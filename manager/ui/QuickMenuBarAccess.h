#pragma once

#include "MenuBarAccess.h"

#include <QPointer>

// A Qt Quick Controls MenuBar, reached through its meta-object (its class is not public API).
class QuickMenuBarAccess : public MenuBarAccess
{
    Q_OBJECT

public:
    explicit QuickMenuBarAccess(QObject *menuBar, QObject *parent = nullptr);

    QList<MenuBarEntry> entries() const override;
    void removeEntry(int index) override;

private slots:
    void countChanged();

private:
    int count() const;
    QObject *itemAt(int index) const;
    void watchTitles();

    QPointer<QObject> menuBar_;
    int knownCount_ = 0;
};
