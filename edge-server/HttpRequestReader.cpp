#include "HttpRequestReader.h"

namespace {

bool isTokenChar(char c)
{
    if ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))
        return true;
    return QByteArrayView("!#$%&'*+-.^_`|~").contains(c);
}

bool isToken(QByteArrayView text)
{
    if (text.isEmpty())
        return false;
    for (char c : text) {
        if (!isTokenChar(c))
            return false;
    }
    return true;
}

// Digits only; a sign, spaces or a value beyond qsizetype are refused.
bool parseContentLength(QByteArrayView text, qsizetype *value)
{
    if (text.isEmpty() || text.size() > 18)
        return false;
    qsizetype result = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        result = result * 10 + (c - '0');
    }
    *value = result;
    return true;
}

} // namespace

bool HttpRequest::hasHeader(QByteArrayView lowerName) const
{
    for (const auto &header : headers) {
        if (header.first == lowerName)
            return true;
    }
    return false;
}

QByteArray HttpRequest::header(QByteArrayView lowerName) const
{
    for (const auto &header : headers) {
        if (header.first == lowerName)
            return header.second;
    }
    return {};
}

HttpRequestReader::HttpRequestReader(qsizetype maxHeaderBytes, qsizetype maxBodyBytes)
    : maxHeaderBytes_(maxHeaderBytes), maxBodyBytes_(maxBodyBytes)
{
}

HttpRequestReader::State HttpRequestReader::fail(int status)
{
    state_ = State::failed;
    failureStatus_ = status;
    buffer_.clear();
    return state_;
}

HttpRequestReader::State HttpRequestReader::feed(const QByteArray &bytes)
{
    if (state_ != State::incomplete)
        return state_;
    buffer_.append(bytes);

    if (!headDone_) {
        const qsizetype end = buffer_.indexOf("\r\n\r\n");
        if (end < 0) {
            return buffer_.size() > maxHeaderBytes_ ? fail(431) : state_;
        }
        if (end > maxHeaderBytes_)
            return fail(431);
        if (parseHead(QByteArrayView(buffer_).first(end)) == State::failed)
            return state_;
        buffer_.remove(0, end + 4);
        headDone_ = true;
    }

    if (buffer_.size() >= contentLength_) {
        // Anything after the body (a pipelined request) is dropped: every answer closes.
        request_.body = buffer_.left(contentLength_);
        buffer_.clear();
        state_ = State::complete;
    }
    return state_;
}

HttpRequestReader::State HttpRequestReader::parseHead(QByteArrayView head)
{
    const QList<QByteArray> lines = head.toByteArray().split('\n');
    QList<QByteArrayView> trimmedLines;
    for (const QByteArray &line : lines) {
        if (!line.endsWith('\r') && &line != &lines.last())
            return fail(400); // bare LF
        trimmedLines.append(QByteArrayView(line).chopped(line.endsWith('\r') ? 1 : 0));
    }

    const QList<QByteArray> parts = trimmedLines.first().toByteArray().split(' ');
    if (parts.size() != 3 || !isToken(parts[0]) || !parts[1].startsWith('/'))
        return fail(400);
    if (!parts[2].startsWith("HTTP/"))
        return fail(400);
    if (parts[2] != "HTTP/1.1" && parts[2] != "HTTP/1.0")
        return fail(505);
    for (char c : parts[1]) {
        if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7f)
            return fail(400);
    }
    request_.method = parts[0];
    const qsizetype question = parts[1].indexOf('?');
    request_.path = question < 0 ? parts[1] : parts[1].left(question);
    request_.query = question < 0 ? QByteArray() : parts[1].mid(question + 1);

    for (qsizetype i = 1; i < trimmedLines.size(); ++i) {
        const QByteArrayView line = trimmedLines[i];
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0 || !isToken(line.first(colon)))
            return fail(400); // also refuses obsolete line folding
        const QByteArray value = line.sliced(colon + 1).toByteArray().trimmed();
        for (char c : value) {
            if ((static_cast<unsigned char>(c) < 0x20 && c != '\t') || c == 0x7f)
                return fail(400);
        }
        request_.headers.append({line.first(colon).toByteArray().toLower(), value});
    }

    if (parts[2] == "HTTP/1.1" && !request_.hasHeader("host"))
        return fail(400);
    // Chunked bodies are not needed by any client of this service.
    if (request_.hasHeader("transfer-encoding"))
        return fail(501);

    bool haveLength = false;
    for (const auto &header : request_.headers) {
        if (header.first != "content-length")
            continue;
        qsizetype length = 0;
        if (!parseContentLength(header.second, &length) || (haveLength && length != contentLength_))
            return fail(400);
        contentLength_ = length;
        haveLength = true;
    }
    if (contentLength_ > maxBodyBytes_)
        return fail(413);
    return state_;
}
