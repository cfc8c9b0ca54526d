// ManagerUpdater: the checks every new bundle passes before it may replace the manager.
#include "ManagerUpdater.h"

#include "UpdaterError.h"
#include "bundle/AppBundle.h"
#include "release/ManagerUpdatePolicy.h"

#include <QFileInfo>

#include <cmath>

namespace {

// A build number as text: a string unchanged, a number in plain decimal. A fraction, a
// Boolean or no value never matches a build number.
QString buildText(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::QString:
        return value.toString();
    case QMetaType::LongLong:
        return QString::number(value.toLongLong());
    case QMetaType::Double: {
        // 2^63 is exact as a double; every whole number below it converts without loss.
        const double number = value.toDouble();
        if (std::trunc(number) == number && std::abs(number) < 0x1p63)
            return QString::number(qint64(number));
        return {};
    }
    default:
        return {};
    }
}

bool isString(const QVariant &value, const QString &expected)
{
    return value.typeId() == QMetaType::QString && value.toString() == expected;
}

} // namespace

void ManagerUpdater::validateApplication(const QString &bundlePath, const QString &version,
                                         qint64 buildNumber)
{
    const AppBundle bundle(bundlePath);
    if (!QFileInfo(bundlePath).isDir()
        || !isString(bundle.infoValue(QStringLiteral("CFBundleIdentifier")), ManagerUpdatePolicy::bundleIdentifier))
        throw UpdaterError::invalidApplication(QStringLiteral("Bundle ID 不匹配"));
    if (!isString(bundle.infoValue(QStringLiteral("CFBundleShortVersionString")), version))
        throw UpdaterError::invalidApplication(QStringLiteral("版本号不匹配"));
    if (buildText(bundle.infoValue(QStringLiteral("CFBundleVersion"))) != QString::number(buildNumber))
        throw UpdaterError::invalidApplication(QStringLiteral("构建号不匹配"));

    run(environment_.tools.signatureChecker,
        {QStringLiteral("--verify"), QStringLiteral("--deep"), QStringLiteral("--strict"),
         QStringLiteral("--verbose=2"), bundlePath});
    requireTeamIdentifier(bundlePath);
    run(environment_.tools.assessor,
        {QStringLiteral("--assess"), QStringLiteral("--type"), QStringLiteral("execute"),
         QStringLiteral("--verbose=2"), bundlePath});
}

void ManagerUpdater::requireTeamIdentifier(const QString &bundlePath)
{
    const ProcessResult display = run(environment_.tools.signatureChecker,
                                      {QStringLiteral("--display"), QStringLiteral("--verbose=4"), bundlePath});
    const QString expected = QStringLiteral("TeamIdentifier=") + ManagerUpdatePolicy::teamIdentifier;
    const QStringList lines = (display.standardOutput + u'\n' + display.standardError)
                                  .split(u'\n', Qt::SkipEmptyParts);
    if (!lines.contains(expected))
        throw UpdaterError::invalidApplication(QStringLiteral("开发者身份不匹配"));
}
