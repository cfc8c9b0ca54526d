#include "process/Utf8PipeSink.h"

#include "process/PipeRead.h"
#include "process/Prefault.h"

#include <algorithm>

namespace {

// Whether the bytes end inside a multi-byte sequence: the last lead byte wants more than follow it.
bool endsInsideSequence(QByteArrayView end)
{
    for (qsizetype i = end.size() - 1; i >= 0; --i) {
        const auto byte = quint8(end[i]);
        if ((byte & 0xC0) == 0x80)
            continue;
        const qsizetype length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
        return length > end.size() - i;
    }
    return false;
}

} // namespace

bool Utf8PipeSink::readAvailable(int fd)
{
    const auto space = [this] { return std::span<char>(chunk_.data(), size_t(chunk_.size())); };
    return readWhatThePipeHolds(fd, space,
                                [this](ssize_t count) { decode(QByteArrayView(chunk_.constData(), count)); });
}

void Utf8PipeSink::decode(QByteArrayView bytes)
{
    const qsizetype room = decoder_.requiredSpace(bytes.size());
    if (text_.size() - used_ < room)
        text_.resize(std::max(text_.size() * 2, used_ + room));
    // Made present in one call rather than faulted in page by page.
    prefaultForWriting(text_.data() + used_, room * qsizetype(sizeof(QChar)));
    used_ = decoder_.appendToBuffer(text_.data() + used_, bytes) - text_.constData();
    lastBytes_ = (lastBytes_ + bytes.last(std::min<qsizetype>(bytes.size(), 4)).toByteArray()).right(4);
}

QString Utf8PipeSink::take()
{
    if (decoder_.hasError() || endsInsideSequence(lastBytes_))
        return QString();
    text_.truncate(used_);
    return std::move(text_);
}
