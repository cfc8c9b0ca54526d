#include "bundle/BundleSignature.h"

#include "bundle/BundleInventory.h"
#include "bundle/Ed25519.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

#include <map>

namespace {

const QByteArray folderName = "Contents/_CodeSignature";
const QByteArray inventoryName = "CodeResources";
const QByteArray signatureName = "Signature";
const QByteArray keyLabel = "key: ";
const QByteArray signatureLabel = "signature: ";
// Far more than any signature file, so a huge one is refused before it is read.
constexpr qint64 signatureFileLimit = 64 * 1024 * 1024;

QString pathIn(const QString &bundlePath, const QByteArray &name)
{
    return bundlePath + u'/' + QString::fromLatin1(folderName + '/' + name);
}

void writeFile(const QString &path, const QByteArray &content)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size() || !file.commit())
        throw SystemError(file.errorString());
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
}

QByteArray readSignatureFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw BundleSignatureError(QStringLiteral("App 没有签名"));
    if (file.size() > signatureFileLimit)
        throw BundleSignatureError(QStringLiteral("签名无效"));
    return file.readAll();
}

// The first path whose line differs between the two inventories.
QString firstDifference(const QByteArray &signedInventory, const QByteArray &actualInventory)
{
    std::map<QByteArray, std::pair<QByteArray, QByteArray>> lines;
    for (const QByteArray &line : signedInventory.split('\n'))
        lines[line.mid(line.lastIndexOf(' ') + 1)].first = line;
    for (const QByteArray &line : actualInventory.split('\n'))
        lines[line.mid(line.lastIndexOf(' ') + 1)].second = line;
    for (const auto &[path, pair] : lines) {
        if (pair.first != pair.second)
            return QString::fromUtf8(QByteArray::fromPercentEncoding(path));
    }
    return {};
}

// Nothing but the two files of the signature may sit in its folder: whatever else is there is
// in no inventory.
void requireOnlySignatureFiles(const QString &bundlePath)
{
    const QStringList names = QDir(bundlePath + u'/' + QString::fromLatin1(folderName))
                                  .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString &name : names) {
        if (name != QLatin1String(inventoryName) && name != QLatin1String(signatureName))
            throw BundleSignatureError(QStringLiteral("签名中没有这个文件：") + QString::fromLatin1(folderName) + u'/'
                                       + name);
    }
}

} // namespace

BundleSignatureError::BundleSignatureError(QString message)
    : message_(std::move(message))
{
}

QString BundleSignatureError::errorDescription() const
{
    return message_;
}

namespace BundleSignature {

void sign(const QString &bundlePath, const QString &privateKeyPath)
{
    const QString folder = bundlePath + u'/' + QString::fromLatin1(folderName);
    QDir(folder).removeRecursively();
    if (!QDir().mkpath(folder))
        throw SystemError(QStringLiteral("The signature folder could not be made: ") + folder);
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup
                                      | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther);
    const QByteArray inventory = bundleInventory(bundlePath, folderName);
    const Ed25519::Signed result = Ed25519::sign(privateKeyPath, inventory);
    writeFile(pathIn(bundlePath, inventoryName), inventory);
    writeFile(pathIn(bundlePath, signatureName), keyLabel + result.publicKey.toBase64() + '\n' + signatureLabel
                                                     + result.signature.toBase64() + '\n');
}

QString verify(const QString &bundlePath)
{
    const QByteArray signedInventory = readSignatureFile(pathIn(bundlePath, inventoryName));
    const QByteArrayList lines = readSignatureFile(pathIn(bundlePath, signatureName)).split('\n');
    if (lines.size() != 3 || !lines[0].startsWith(keyLabel) || !lines[1].startsWith(signatureLabel)
        || !lines[2].isEmpty())
        throw BundleSignatureError(QStringLiteral("签名无效"));
    const QByteArray publicKey = QByteArray::fromBase64(lines[0].mid(keyLabel.size()));
    if (!Ed25519::verify(publicKey, signedInventory, QByteArray::fromBase64(lines[1].mid(signatureLabel.size()))))
        throw BundleSignatureError(QStringLiteral("签名无效"));
    requireOnlySignatureFiles(bundlePath);
    const QByteArray inventory = bundleInventory(bundlePath, folderName);
    if (inventory != signedInventory)
        throw BundleSignatureError(QStringLiteral("文件与签名不符：") + firstDifference(signedInventory, inventory));
    return Ed25519::fingerprint(publicKey);
}

QString assess(const QString &bundlePath)
{
    const QString team = verify(bundlePath);
    struct stat status {};
    if (::lstat(QFile::encodeName(bundlePath).constData(), &status) != 0 || (status.st_mode & 022))
        throw BundleSignatureError(QStringLiteral("其他用户可以修改：") + bundlePath);
    walkBundle(bundlePath, [](const QByteArray &relative, const struct stat &entry) {
        if (!S_ISLNK(entry.st_mode) && (entry.st_mode & 022))
            throw BundleSignatureError(QStringLiteral("其他用户可以修改：") + QFile::decodeName(relative));
    });
    return team;
}

} // namespace BundleSignature
