// The installer script's standard output as the installer client reads it: the event lines of
// any command, and the status record on the last line of a status command.
#include "FuzzCheck.h"
#include "json/StrictJson.h"
#include "service/InstallerClient.h"
#include "service/InstallerClientError.h"
#include "text/TextLines.h"
#include "text/Utf8Text.h"

#include <QJsonDocument>

namespace {

const QString noLinesDetail = QStringLiteral("状态命令没有返回内容");

QString withoutLeadingBom(const QString &text)
{
    return text.startsWith(QChar::ByteOrderMark) ? text.sliced(1) : text;
}

// Qt's own reader is laxer but reads the same values from any text the strict reader takes,
// where it takes that text at all; numbers compare as the doubles nearest to them, and Qt drops
// a string's leading U+FEFF.
template<typename Record>
void checkAgainstQtReader(const QString &line, const Record &record)
{
    QJsonParseError error;
    const QJsonDocument qtDocument = QJsonDocument::fromJson(line.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError)
        return;
    const QJsonObject qtObject = qtDocument.object();
    const QJsonObject ours = record.toJson();
    for (auto field = ours.begin(); field != ours.end(); ++field) {
        const QJsonValue qtValue = qtObject.value(field.key());
        if (field->isDouble())
            FUZZ_CHECK(qtValue.isDouble() && qtValue.toDouble() == double(field->toInteger()));
        else if (field->isString())
            FUZZ_CHECK(qtValue.isString() && qtValue.toString() == withoutLeadingBom(field->toString()));
        else
            FUZZ_CHECK(qtValue == *field);
    }
}

// What Qt writes for a record reads back, through the strict reader, as the same record.
template<typename Record>
void checkRoundTrip(const Record &record)
{
    const QByteArray written = QJsonDocument(record.toJson()).toJson(QJsonDocument::Compact);
    const auto value = parseStrictJson(written);
    FUZZ_CHECK(value && value->isObject());
    FUZZ_CHECK(Record::fromJson(value->toObject()) == record);
}

void checkEvents(const QString &output)
{
    const QList<InstallerEvent> events = InstallerClient::events(output);
    FUZZ_CHECK(InstallerClient::events(output) == events);
    // Lines are independent: a plain line in front adds nothing, the output twice gives the
    // events twice.
    FUZZ_CHECK(InstallerClient::events(QStringLiteral("log text\n") + output) == events);
    FUZZ_CHECK(InstallerClient::events(output + u'\n' + output) == events + events);

    qsizetype found = 0;
    for (const QString &line : splitLines(output)) {
        const QList<InstallerEvent> ofLine = InstallerClient::events(line);
        FUZZ_CHECK(ofLine.size() <= 1);
        for (const InstallerEvent &event : ofLine) {
            FUZZ_CHECK(event == events.value(found++));
            FUZZ_CHECK(!line.contains(QChar(0)));  // JSON has no raw NUL, not even after the value
            checkRoundTrip(event);
            checkAgainstQtReader(line, event);
        }
    }
    FUZZ_CHECK(found == events.size());
}

struct StatusOutcome
{
    std::optional<ServiceStatus> status;
    QString failureDetail;

    bool operator==(const StatusOutcome &) const = default;
};

StatusOutcome readStatus(const QString &output)
{
    try {
        return {InstallerClient::statusFromOutput(output), {}};
    } catch (const InstallerClientError &error) {
        FUZZ_CHECK(error.kind() == InstallerClientError::Kind::invalidResponse);
        return {std::nullopt, error.text()};
    }
}

void checkStatus(const QString &output)
{
    const StatusOutcome outcome = readStatus(output);
    FUZZ_CHECK(readStatus(output) == outcome);
    const QStringList lines = splitLines(output);
    if (lines.isEmpty()) {
        FUZZ_CHECK(!outcome.status && outcome.failureDetail == noLinesDetail);
        return;
    }
    // Only the last line counts: earlier lines and trailing blank lines change nothing.
    FUZZ_CHECK(readStatus(QStringLiteral("{\"installed\":true}\n") + output) == outcome);
    FUZZ_CHECK(readStatus(output + QStringLiteral("\r\n\n")) == outcome);
    if (!outcome.status) {
        FUZZ_CHECK(outcome.failureDetail == lines.last());
        return;
    }
    FUZZ_CHECK(!lines.last().contains(QChar(0)));
    checkRoundTrip(*outcome.status);
    checkAgainstQtReader(lines.last(), *outcome.status);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    // The client reads the script's output this way; bytes that are not UTF-8 read as nothing.
    const QString output = decodeUtf8OrEmpty(fuzzBytes(data, size));
    checkEvents(output);
    checkStatus(output);
    return 0;
}
