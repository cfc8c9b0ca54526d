#pragma once

#include <QUrl>

// Where a navigation of the management page may go. The embedded view shows only the local
// service; every other address belongs in the user's browser.
enum class NavigationDecision { allow, cancel, openInDesktop };

NavigationDecision navigationDecision(const QUrl &url);
