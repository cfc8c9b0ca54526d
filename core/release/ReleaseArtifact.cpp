#include "release/ReleaseArtifact.h"

bool hasPlainFileName(const ReleaseArtifact &artifact)
{
    const QString &name = artifact.name;
    return !name.isEmpty() && name != u"." && name != u".." && !name.contains(u'/') && !name.contains(u'\\');
}
