#include "linux/ArchiveExtraction.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <map>
#include <memory>
#include <utility>

#include <archive.h>
#include <archive_entry.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct ArchiveFree
{
    void operator()(archive *reader) const { archive_read_free(reader); }
};

class Descriptor
{
public:
    explicit Descriptor(int fd)
        : fd_(fd)
    {
    }
    ~Descriptor()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Descriptor(Descriptor &&other) noexcept
        : fd_(std::exchange(other.fd_, -1))
    {
    }
    Descriptor &operator=(Descriptor &&other) noexcept
    {
        std::swap(fd_, other.fd_);
        return *this;
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

[[noreturn]] void refuse(const QByteArray &name)
{
    throw ExtractionError(QStringLiteral("安装包中有不安全的条目：") + QFile::decodeName(name));
}

[[noreturn]] void fail(const QByteArray &name)
{
    throw SystemError(QString::fromLocal8Bit(std::strerror(errno)) + QStringLiteral(": ") + QFile::decodeName(name));
}

ExtractionError unreadable(archive *reader)
{
    return ExtractionError(QStringLiteral("安装包无法解压：") + QString::fromLocal8Bit(archive_error_string(reader)));
}

// The parts of an entry's name without "." parts; absolute names and ".." are refused.
QByteArrayList partsOf(const QByteArray &name)
{
    if (name.isEmpty() || name.startsWith('/'))
        refuse(name);
    QByteArrayList parts;
    for (const QByteArray &part : name.split('/')) {
        if (part == "..")
            refuse(name);
        if (!part.isEmpty() && part != ".")
            parts.append(part);
    }
    return parts;
}

// A relative target whose ".." parts all come first and climb no higher than the tree's top.
// Every folder on the way up is a real one (nothing is written through a link), so the link
// leads into the tree however the links below it resolve.
bool staysInside(const QByteArrayList &parts, const QByteArray &target)
{
    if (target.isEmpty() || target.startsWith('/'))
        return false;
    qsizetype climb = 0;
    bool descended = false;
    for (const QByteArray &part : target.split('/')) {
        if (part == "..") {
            if (descended)
                return false;
            ++climb;
        } else if (!part.isEmpty() && part != ".") {
            descended = true;
        }
    }
    return climb <= parts.size() - 1;
}

class Extractor
{
public:
    Extractor(const QString &folder, const ExtractionLimits &limits)
        : folder_(QFile::encodeName(folder))
        , root_(::open(folder_.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC))
        , limits_(limits)
    {
        if (root_.get() < 0)
            fail(folder_);
    }

    void add(archive *reader, archive_entry *entry)
    {
        const char *rawName = archive_entry_pathname(entry);
        const QByteArray name = rawName ? QByteArray(rawName) : QByteArray();
        if (++entries_ > limits_.entries)
            throw ExtractionError(QStringLiteral("安装包中的文件过多"));
        const QByteArrayList parts = partsOf(name);
        const mode_t type = archive_entry_filetype(entry);
        if (archive_entry_hardlink(entry) || (type != AE_IFDIR && type != AE_IFREG && type != AE_IFLNK))
            refuse(name);
        if (parts.isEmpty()) {
            if (type != AE_IFDIR)
                refuse(name);
            return;  // the top folder itself
        }
        const Descriptor parent = openParent(parts);
        const QByteArray &leaf = parts.last();
        const mode_t mode = archive_entry_perm(entry) & 0777;
        if (type == AE_IFDIR)
            makeFolder(parent.get(), parts, mode);
        else if (type == AE_IFLNK)
            makeLink(parent.get(), parts, entry, name);
        else
            writeFile(reader, parent.get(), leaf, mode, name);
    }

    // Folders get their own modes last, inner ones first, so a read-only folder is filled first.
    void finish()
    {
        for (auto it = folderModes_.rbegin(); it != folderModes_.rend(); ++it) {
            if (::chmod((folder_ + '/' + it->first).constData(), it->second) != 0)
                fail(it->first);
        }
    }

private:
    Descriptor openParent(const QByteArrayList &parts)
    {
        Descriptor current(::dup(root_.get()));
        QByteArray path;
        for (qsizetype index = 0; index + 1 < parts.size(); ++index) {
            path += (path.isEmpty() ? "" : "/") + parts[index];
            const int flags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
            int next = ::openat(current.get(), parts[index].constData(), flags);
            if (next < 0 && errno == ENOENT) {
                if (::mkdirat(current.get(), parts[index].constData(), 0700) != 0)
                    fail(path);
                folderModes_.try_emplace(path, 0755);
                next = ::openat(current.get(), parts[index].constData(), flags);
            }
            if (next < 0)
                refuse(path);  // a link or a file where a folder belongs
            current = Descriptor(next);
        }
        return current;
    }

    void makeFolder(int parent, const QByteArrayList &parts, mode_t mode)
    {
        const QByteArray path = parts.join('/');
        if (::mkdirat(parent, parts.last().constData(), 0700) != 0) {
            struct stat status {};
            if (errno != EEXIST || ::fstatat(parent, parts.last().constData(), &status, AT_SYMLINK_NOFOLLOW) != 0
                || !S_ISDIR(status.st_mode))
                refuse(path);
        }
        folderModes_[path] = mode;
    }

    void makeLink(int parent, const QByteArrayList &parts, archive_entry *entry, const QByteArray &name)
    {
        const char *target = archive_entry_symlink(entry);
        if (!target || !staysInside(parts, target))
            refuse(name);
        if (::symlinkat(target, parent, parts.last().constData()) != 0)
            refuse(name);
    }

    void writeFile(archive *reader, int parent, const QByteArray &leaf, mode_t mode, const QByteArray &name)
    {
        const Descriptor file(
            ::openat(parent, leaf.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (file.get() < 0)
            refuse(name);
        const void *block = nullptr;
        size_t size = 0;
        la_int64_t offset = 0;
        for (;;) {
            const int status = archive_read_data_block(reader, &block, &size, &offset);
            if (status == ARCHIVE_EOF)
                break;
            if (status < ARCHIVE_WARN)
                throw unreadable(reader);
            // Holes count as well: a sparse file of any length would still be read in full later.
            bytes_ += qint64(size);
            if (bytes_ > limits_.bytes || offset > limits_.bytes - qint64(size))
                throw ExtractionError(QStringLiteral("安装包解压后过大"));
            if (::pwrite(file.get(), block, size, offset) != ssize_t(size))
                fail(name);
        }
        if (::fchmod(file.get(), mode) != 0)
            fail(name);
    }

    QByteArray folder_;
    Descriptor root_;
    ExtractionLimits limits_;
    qint64 entries_ = 0;
    qint64 bytes_ = 0;
    std::map<QByteArray, mode_t> folderModes_;  // in reverse order, every folder comes before its parent
};

} // namespace

ExtractionError::ExtractionError(QString message)
    : message_(std::move(message))
{
}

QString ExtractionError::errorDescription() const
{
    return message_;
}

void extractArchive(const QString &archivePath, const QString &folder, const ExtractionLimits &limits)
{
    const std::unique_ptr<archive, ArchiveFree> reader(archive_read_new());
    archive_read_support_filter_xz(reader.get());
    archive_read_support_format_tar(reader.get());
    if (archive_read_open_filename(reader.get(), QFile::encodeName(archivePath).constData(), 1 << 16) != ARCHIVE_OK)
        throw unreadable(reader.get());
    Extractor extractor(folder, limits);
    archive_entry *entry = nullptr;
    for (;;) {
        const int status = archive_read_next_header(reader.get(), &entry);
        if (status == ARCHIVE_EOF)
            break;
        if (status < ARCHIVE_WARN)
            throw unreadable(reader.get());
        extractor.add(reader.get(), entry);
    }
    extractor.finish();
}
