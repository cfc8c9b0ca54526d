#include "NavigationPolicy.h"

#include <QStringList>

namespace {

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
    if (request.url.isEmpty())
        return NavigationDecision::cancel;
    if (sameOrigin(home, request.url))
        return NavigationDecision::allow;
    static const QStringList desktopSchemes{QStringLiteral("http"), QStringLiteral("https"), QStringLiteral("mailto")};
    if (!request.userStarted || !request.mainFrame || !desktopSchemes.contains(request.url.scheme())
        || !takeHandOver(now))
        return NavigationDecision::cancel;
    return NavigationDecision::openInDesktop;
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
