#pragma once

#include <QString>

// Facts the manager and the updater must agree on when the manager replaces itself.
struct ManagerUpdatePolicy
{
    static const QString appName;
    static const QString bundleIdentifier;
    static const QString teamIdentifier;

    // True only for "/Applications/<appName>" and "<home>/Applications/<appName>", compared as
    // standardised paths, case-sensitively.
    static bool isSupportedTarget(const QString &targetPath, const QString &homeDirectory);
};
