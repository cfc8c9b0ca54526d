// Property lists as the manager and the updater read them: every value of an Info.plist, read
// from the bytes and through a bundle's file, and the disk-image tool's attach output.
#include "AttachOutput.h"
#include "FuzzCheck.h"
#include "UpdaterError.h"
#include "bundle/AppBundle.h"
#include "bundle/PropertyList.h"
#include "text/Utf8Text.h"

#include <QFile>
#include <QStringDecoder>
#include <QTemporaryDir>

#include <cstdlib>
#include <limits>
#include <vector>

namespace {

// The keys the bundle checks read, and the others in the seed lists. Keys are not listed from
// the input: libplist aborts on reading a key that holds a NUL byte, which the manager and the
// updater never do (they only look keys up).
const char *const infoKeys[] = {"CFBundleIdentifier", "CFBundleShortVersionString", "CFBundleVersion",
                                "LSUIElement", "Scale", "Name", "Data", "Date", "List"};

// UTF-8 bytes read back as text and written again give the same bytes: NUL bytes and a
// leading U+FEFF included.
void checkStringKeepsBytes(plist_t node, const QString &text)
{
    uint64_t length = 0;
    const char *raw = plist_get_string_ptr(node, &length);
    const QByteArray bytes(raw, qsizetype(length));
    QStringDecoder strict(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    // The decoder reads the bytes, and so finds their faults, only when its result is taken.
    const QString decoded = strict.decode(bytes);
    if (!strict.hasError())
        FUZZ_CHECK(text.toUtf8() == bytes);
    else
        FUZZ_CHECK(text.contains(QChar::ReplacementCharacter));
}

// An integer reads as unsigned only above the signed range. A binary list's 16-byte integer is
// the exception: libplist keeps only its low 64 bits, so whatever they hold, its value may lie
// beyond them, and it reads as unsigned, a value no build number matches.
void checkInteger(plist_t node, bool binary)
{
    uint64_t bits = 0;
    plist_get_uint_val(node, &bits);
    const QVariant value = propertyListInteger(node);
    if (value.typeId() == QMetaType::ULongLong)
        FUZZ_CHECK(value.toULongLong() == bits && (binary || bits > uint64_t(std::numeric_limits<qint64>::max())));
    else
        FUZZ_CHECK(value.typeId() == QMetaType::LongLong && value.toLongLong() == qint64(bits));
}

// Every node of the tree, without recursion: a document may nest deeply.
std::vector<plist_t> allNodes(plist_t root)
{
    std::vector<plist_t> found, pending{root};
    while (!pending.empty()) {
        plist_t node = pending.back();
        pending.pop_back();
        found.push_back(node);
        if (plist_get_node_type(node) == PLIST_ARRAY) {
            for (uint32_t index = 0; index < plist_array_get_size(node); ++index)
                pending.push_back(plist_array_get_item(node, index));
        } else if (plist_get_node_type(node) == PLIST_DICT) {
            plist_dict_iter iterator = nullptr;
            plist_dict_new_iter(node, &iterator);
            for (plist_t value = nullptr;;) {
                plist_dict_next_item(node, iterator, nullptr, &value);
                if (!value)
                    break;
                pending.push_back(value);
            }
            std::free(iterator);
        }
    }
    return found;
}

void checkNodes(plist_t root, bool binary)
{
    for (plist_t node : allNodes(root)) {
        if (plist_get_node_type(node) == PLIST_STRING) {
            const QString text = propertyListString(node);
            FUZZ_CHECK(propertyListString(node) == text);
            checkStringKeepsBytes(node, text);
        } else if (plist_get_node_type(node) == PLIST_UINT) {
            checkInteger(node, binary);
        }
    }
}

// One bundle folder per process; each input becomes its Info.plist.
const AppBundle &bundleWithInfo(const QByteArray &bytes)
{
    static const QTemporaryDir folder;
    static const AppBundle bundle(folder.filePath(QStringLiteral("Quillo Edge.app")));
    static const bool made = QDir().mkpath(bundle.path() + QStringLiteral("/Contents"));
    FUZZ_CHECK(made);
    QFile info(bundle.infoPlistPath());
    FUZZ_CHECK(info.open(QIODevice::WriteOnly | QIODevice::Truncate) && info.write(bytes) == bytes.size());
    return bundle;
}

// An Info value has the type its node has, and a string keeps its bytes.
void checkInfoValue(const QVariant &value, plist_t node)
{
    switch (node ? plist_get_node_type(node) : PLIST_NONE) {
    case PLIST_STRING:
        FUZZ_CHECK(value.typeId() == QMetaType::QString);
        checkStringKeepsBytes(node, value.toString());
        break;
    case PLIST_UINT:
        FUZZ_CHECK(value == propertyListInteger(node));
        break;
    case PLIST_BOOLEAN:
        FUZZ_CHECK(value.typeId() == QMetaType::Bool);
        break;
    case PLIST_REAL:
        FUZZ_CHECK(value.typeId() == QMetaType::Double);
        break;
    default:
        FUZZ_CHECK(!value.isValid());
    }
}

void checkInfoValues(const QByteArray &bytes, plist_t root)
{
    const AppBundle &bundle = bundleWithInfo(bytes);
    const bool isDictionary = root && plist_get_node_type(root) == PLIST_DICT;
    for (const char *key : infoKeys) {
        plist_t node = isDictionary ? plist_dict_get_item(root, key) : nullptr;
        checkInfoValue(bundle.infoValue(QString::fromLatin1(key)), node);
    }
}

// The mount points in attach output, by the rule the updater follows: a dictionary whose
// "system-entities" is an array of dictionaries; each "mount-point" string, in order.
std::optional<QStringList> expectedMountPoints(plist_t root)
{
    if (plist_get_node_type(root) != PLIST_DICT)
        return std::nullopt;
    plist_t entities = plist_dict_get_item(root, "system-entities");
    if (!entities || plist_get_node_type(entities) != PLIST_ARRAY)
        return std::nullopt;
    QStringList found;
    for (uint32_t index = 0; index < plist_array_get_size(entities); ++index) {
        plist_t entity = plist_array_get_item(entities, index);
        if (plist_get_node_type(entity) != PLIST_DICT)
            return std::nullopt;
        plist_t mountPoint = plist_dict_get_item(entity, "mount-point");
        if (mountPoint && plist_get_node_type(mountPoint) == PLIST_STRING)
            found.append(propertyListString(mountPoint));
    }
    return found.isEmpty() ? std::nullopt : std::optional(found);
}

void checkAttachOutput(const QByteArray &bytes)
{
    // The updater reads the tool's output as UTF-8 text, or as nothing when it is not UTF-8.
    const QString text = decodeUtf8OrEmpty(bytes);
    const PropertyList root = readPropertyList(text.toUtf8());
    try {
        const QStringList mountPoints = AttachOutput::mountPoints(text);
        FUZZ_CHECK(root && expectedMountPoints(root.get()) == mountPoints);
    } catch (const UpdaterError &error) {
        FUZZ_CHECK(error.kind() == UpdaterError::Kind::invalidDiskImage);
        FUZZ_CHECK(root && !expectedMountPoints(root.get()));
    } catch (const SystemError &) {
        FUZZ_CHECK(!root);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes = fuzzBytes(data, size);
    const PropertyList root = readPropertyList(bytes);
    if (root)
        checkNodes(root.get(), bytes.startsWith("bplist"));
    checkInfoValues(bytes, root.get());
    checkAttachOutput(bytes);
    return 0;
}
