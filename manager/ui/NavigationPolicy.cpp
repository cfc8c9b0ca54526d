#include "NavigationPolicy.h"

#include "WindowLog.h"

#include <QStringList>

namespace {

const char *nameOf(NavigationDecision decision)
{
    switch (decision) {
    case NavigationDecision::allow: return "allow";
    case NavigationDecision::openInDesktop: return "open in desktop";
    case NavigationDecision::cancel: break;
    }
    return "cancel";
}

int defaultPort(const QString &scheme)
{
    if (scheme == QLatin1String("http"))
        return 80;
    return scheme == QLatin1String("https") ? 443 : -1;
}

bool sameOrigin(const QUrl &a, const QUrl &b)
{
    return a.isValid() && b.isValid() && !a.host().isEmpty() && a.scheme() == b.scheme() && a.host() == b.host()
        && a.port(defaultPort(a.scheme())) == b.port(defaultPort(b.scheme()));
}

} // namespace

NavigationDecision NavigationPolicy::decide(const QUrl &home, const NavigationRequest &request,
                                            Clock::time_point now)
{
    const auto [decision, why] = judge(home, request, now);
    qCInfo(pageLog).noquote() << request.url.toDisplayString() << nameOf(decision) << "-" << why;
    return decision;
}

std::pair<NavigationDecision, const char *> NavigationPolicy::judge(const QUrl &home, const NavigationRequest &request,
                                                                    Clock::time_point now)
{
    using enum NavigationDecision;
    if (request.url.isEmpty())
        return {cancel, "no address"};
    if (sameOrigin(home, request.url))
        return {allow, "the page's own origin"};
    static const QStringList desktopSchemes{QStringLiteral("http"), QStringLiteral("https"), QStringLiteral("mailto")};
    if (!request.userStarted)
        return {cancel, "another origin, not from the user"};
    if (!request.mainFrame)
        return {cancel, "another origin, from a frame"};
    if (!desktopSchemes.contains(request.url.scheme()))
        return {cancel, "a scheme the desktop does not get"};
    if (!takeHandOver(now))
        return {cancel, "too many hand-overs this minute"};
    return {openInDesktop, "the user's link to another origin"};
}

bool NavigationPolicy::takeHandOver(Clock::time_point now)
{
    while (!handOvers_.empty() && now - handOvers_.front() >= std::chrono::minutes(1))
        handOvers_.pop_front();
    if (handOvers_.size() >= handOversPerMinute)
        return false;
    handOvers_.push_back(now);
    return true;
}
