#include "MultipartForm.h"

#include <QList>

namespace {

struct Parameter
{
    QByteArray name; // lower case
    QByteArray value;
};

// "type; a=b; c=\"d;e\"" → the type and its parameters; quoted values are unescaped.
std::optional<QList<Parameter>> parseParameters(QByteArrayView text, QByteArray *type)
{
    QList<Parameter> parameters;
    qsizetype i = text.indexOf(';');
    *type = (i < 0 ? text : text.first(i)).toByteArray().trimmed().toLower();
    if (i < 0)
        return parameters;
    while (i < text.size()) {
        ++i; // past ';'
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
            ++i;
        if (i >= text.size())
            break;
        const qsizetype equals = text.indexOf('=', i);
        if (equals < 0)
            return std::nullopt;
        Parameter parameter{text.sliced(i, equals - i).toByteArray().trimmed().toLower(), {}};
        i = equals + 1;
        if (i < text.size() && text[i] == '"') {
            ++i;
            bool closed = false;
            while (i < text.size()) {
                const char c = text[i++];
                if (c == '\\' && i < text.size()) {
                    parameter.value += text[i++];
                } else if (c == '"') {
                    closed = true;
                    break;
                } else {
                    parameter.value += c;
                }
            }
            if (!closed)
                return std::nullopt;
            while (i < text.size() && text[i] != ';')
                ++i;
        } else {
            const qsizetype end = text.indexOf(';', i);
            parameter.value = text.sliced(i, (end < 0 ? text.size() : end) - i).toByteArray().trimmed();
            i = end < 0 ? text.size() : end;
        }
        parameters.append(parameter);
    }
    return parameters;
}

std::optional<QByteArray> parameter(const QList<Parameter> &parameters, QByteArrayView name)
{
    for (const Parameter &p : parameters) {
        if (p.name == name)
            return p.value;
    }
    return std::nullopt;
}

} // namespace

std::optional<QByteArray> multipartBoundary(QByteArrayView contentType)
{
    QByteArray type;
    const auto parameters = parseParameters(contentType, &type);
    if (!parameters || type != "multipart/form-data")
        return std::nullopt;
    const auto boundary = parameter(*parameters, "boundary");
    // RFC 2046 limits a boundary to 70 characters.
    if (!boundary || boundary->isEmpty() || boundary->size() > 70)
        return std::nullopt;
    return boundary;
}

std::optional<MultipartFile> firstMultipartFile(const QByteArray &body, const QByteArray &boundary)
{
    const QByteArray delimiter = "--" + boundary;
    const QByteArray separator = "\r\n" + delimiter;

    qsizetype position;
    if (body.startsWith(delimiter)) {
        position = delimiter.size();
    } else {
        const qsizetype first = body.indexOf(separator);
        if (first < 0)
            return std::nullopt;
        position = first + separator.size();
    }

    while (true) {
        if (QByteArrayView(body).sliced(position).startsWith("--"))
            return std::nullopt; // closing delimiter: no file part
        // Transport padding may follow a delimiter before its line break.
        while (position < body.size() && (body[position] == ' ' || body[position] == '\t'))
            ++position;
        if (!QByteArrayView(body).sliced(position).startsWith("\r\n"))
            return std::nullopt;
        position += 2;

        const qsizetype headEnd = body.indexOf("\r\n\r\n", position);
        const qsizetype next = body.indexOf(separator, position);
        if (next < 0)
            return std::nullopt;
        // A part without headers has its blank line right away.
        const bool noHeaders = QByteArrayView(body).sliced(position).startsWith("\r\n");
        if (!noHeaders && (headEnd < 0 || headEnd > next))
            return std::nullopt;
        const qsizetype contentStart = noHeaders ? position + 2 : headEnd + 4;
        if (contentStart > next)
            return std::nullopt;

        if (!noHeaders) {
            const QList<QByteArray> lines = body.mid(position, headEnd - position).split('\n');
            for (QByteArray line : lines) {
                if (line.endsWith('\r'))
                    line.chop(1);
                const qsizetype colon = line.indexOf(':');
                if (colon <= 0 || line.left(colon).trimmed().toLower() != "content-disposition")
                    continue;
                QByteArray disposition;
                const auto parameters = parseParameters(QByteArrayView(line).sliced(colon + 1), &disposition);
                if (!parameters || disposition != "form-data")
                    return std::nullopt;
                if (const auto fileName = parameter(*parameters, "filename"))
                    return MultipartFile{*fileName, body.mid(contentStart, next - contentStart)};
            }
        }
        position = next + separator.size();
    }
}
