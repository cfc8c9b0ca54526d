#pragma once

#include <QUrl>

#include <chrono>
#include <deque>
#include <utility>

// Where a navigation of the management page may go. The view shows only the origin of the
// page it was given; the desktop receives a web or mail address only when the user asked for it
// in the page itself, and only a few times a minute, so a page cannot launch programs at will.
enum class NavigationDecision { allow, cancel, openInDesktop };

struct NavigationRequest
{
    QUrl url;
    bool userStarted = false; // a click on a link, or a new window the user started
    bool mainFrame = true;
};

class NavigationPolicy
{
public:
    using Clock = std::chrono::steady_clock;

    // Three hand-overs a minute leave room for a user who clicks a link again when the browser
    // is slow to appear, while a page that coaxes clicks out of the user cannot flood the desktop.
    static constexpr int handOversPerMinute = 3;

    // A hand-over counts against the limit as soon as it is decided.
    NavigationDecision decide(const QUrl &home, const NavigationRequest &request, Clock::time_point now);

private:
    std::deque<Clock::time_point> handOvers_;

    // The decision and, for the log, why.
    std::pair<NavigationDecision, const char *> judge(const QUrl &home, const NavigationRequest &request,
                                                      Clock::time_point now);
    bool takeHandOver(Clock::time_point now);
};
