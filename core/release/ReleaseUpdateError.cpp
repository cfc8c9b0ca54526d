#include "release/ReleaseUpdateError.h"

#include "release/ReleaseLine.h"

ReleaseUpdateError::ReleaseUpdateError(Kind kind, QString component, qint64 statusCode)
    : kind_(kind)
    , component_(std::move(component))
    , statusCode_(statusCode)
{
}

ReleaseUpdateError ReleaseUpdateError::wrongComponent(const QString &component)
{
    return ReleaseUpdateError(Kind::wrongComponent, component);
}

ReleaseUpdateError ReleaseUpdateError::downloadFailed(qint64 statusCode)
{
    return ReleaseUpdateError(Kind::downloadFailed, {}, statusCode);
}

ReleaseUpdateError ReleaseUpdateError::invalidManifest()
{
    return ReleaseUpdateError(Kind::invalidManifest);
}

ReleaseUpdateError ReleaseUpdateError::noMatchingArtifact()
{
    return ReleaseUpdateError(Kind::noMatchingArtifact);
}

ReleaseUpdateError ReleaseUpdateError::sizeMismatch()
{
    return ReleaseUpdateError(Kind::sizeMismatch);
}

ReleaseUpdateError ReleaseUpdateError::checksumMismatch()
{
    return ReleaseUpdateError(Kind::checksumMismatch);
}

QString ReleaseUpdateError::errorDescription() const
{
    switch (kind_) {
    case Kind::wrongComponent:
        return QStringLiteral("发布清单组件不匹配：") + component_;
    case Kind::downloadFailed:
        return QStringLiteral("下载安装包失败（") + QString::number(statusCode_) + QStringLiteral("）");
    case Kind::invalidManifest:
        return QStringLiteral("发布清单格式无效");
    case Kind::noMatchingArtifact:
        return ReleaseLine::current().noMatchingArtifactMessage;
    case Kind::sizeMismatch:
        return QStringLiteral("安装包大小校验失败，请重新下载");
    case Kind::checksumMismatch:
        return QStringLiteral("安装包安全校验失败，请重新下载");
    }
    Q_UNREACHABLE();
}
