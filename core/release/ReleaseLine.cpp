#include "release/ReleaseLine.h"

#include "release/ReleaseFeedClient.h"

std::optional<ReleaseArtifact> ReleaseLine::artifact(const ReleaseManifest &manifest,
                                                     const QString &architecture) const
{
    const QString suffix = (artifactPrefix + architecture + artifactExtension).toLower();
    for (const ReleaseArtifact &candidate : manifest.artifacts) {
        if (candidate.name.toLower().endsWith(suffix))
            return candidate;
    }
    return std::nullopt;
}

ReleaseLine ReleaseLine::macOS()
{
    return {ReleaseFeedClient::macOSManifestURL(), QStringLiteral("macos"), QStringLiteral("macOS-"),
            QStringLiteral(".dmg"), QStringLiteral("没有适合这台 Mac 的安装包")};
}

ReleaseLine ReleaseLine::linuxDesktop()
{
    // No space before 电脑: Chinese text sets a space only around a Latin word such as "Mac".
    return {QUrl(QStringLiteral("https://releases.quillo.dev/quillo/releases/linux/latest/manifest.json")),
            QStringLiteral("linux"), QStringLiteral("linux-"), QStringLiteral(".tar.xz"),
            QStringLiteral("没有适合这台电脑的安装包")};
}

ReleaseLine ReleaseLine::current()
{
#ifdef Q_OS_MACOS
    return macOS();
#else
    return linuxDesktop();
#endif
}
