#include "json/StrictJson.h"

#include "json/JsonWholeNumber.h"
#include "text/Utf8Text.h"

#include <QJsonArray>
#include <QJsonObject>

#include <nlohmann/json.hpp>

#include <cmath>
#include <limits>
#include <variant>
#include <vector>

namespace {

using Json = nlohmann::json;

// Records nest a level or two. Refusing deep nesting keeps the recursive teardown of Qt's
// value tree from running out of stack.
constexpr std::size_t maximumDepth = 1024;
// The parser's id for a number too large for a double; every other failure is one of syntax.
constexpr int numberOverflow = 406;

// position: the byte where reading stopped, counted from 1.
QString syntaxErrorAt(std::size_t position)
{
    return QStringLiteral("JSON 文本第 %1 个字节处有语法错误").arg(position);
}

QString fromUtf8(const std::string &text)
{
    return decodeUtf8Exactly(QByteArrayView(text.data(), qsizetype(text.size())));
}

// Builds Qt's value tree from nlohmann's parser events, which come only for text the grammar
// allows. The open containers are kept on a stack, so no nesting recurses here.
class TreeBuilder final : public nlohmann::json_sax<Json>
{
public:
    std::optional<QJsonValue> result;
    QString error;

    bool null() override { return add(QJsonValue(QJsonValue::Null)); }
    bool boolean(bool value) override { return add(value); }
    bool number_integer(number_integer_t value) override { return add(qint64(value)); }
    bool number_unsigned(number_unsigned_t value) override
    {
        if (value > number_unsigned_t(std::numeric_limits<qint64>::max()))
            return addNonInteger(double(value));
        return add(qint64(value));
    }
    bool number_float(number_float_t value, const string_t &written) override
    {
        if (const auto whole = jsonWholeNumber(written))
            return add(*whole);
        return addNonInteger(value);
    }
    bool string(string_t &value) override { return add(fromUtf8(value)); }
    bool binary(binary_t &) override { return false; }  // JSON text has no binary values
    bool start_object(std::size_t) override { return open(QJsonObject()); }
    bool key(string_t &name) override
    {
        open_.back().key = fromUtf8(name);
        return true;
    }
    bool end_object() override { return close(); }
    bool start_array(std::size_t) override { return open(QJsonArray()); }
    bool end_array() override { return close(); }
    bool parse_error(std::size_t position, const std::string &, const nlohmann::detail::exception &failure) override
    {
        error = failure.id == numberOverflow ? QStringLiteral("JSON 文本第 %1 个字节处的数字超出范围").arg(position)
                                             : syntaxErrorAt(position);
        return false;
    }

private:
    using Container = std::variant<QJsonObject, QJsonArray>;

    bool add(const QJsonValue &value)
    {
        if (open_.empty())
            result = value;
        else if (auto *object = std::get_if<QJsonObject>(&open_.back().container))
            object->insert(open_.back().key, value);
        else
            std::get<QJsonArray>(open_.back().container).append(value);
        return true;
    }

    // A number that is no whole value within the signed 64-bit range. Qt holds a whole double
    // below 2^53 as an integer, and such a number may round to one (1e-400), or to -2^63, so a
    // whole double stands in as NaN, which Qt holds as a double.
    bool addNonInteger(double value)
    {
        return add(std::trunc(value) == value ? std::numeric_limits<double>::quiet_NaN() : value);
    }

    bool open(Container container)
    {
        if (open_.size() >= maximumDepth) {
            error = QStringLiteral("JSON 文本嵌套超过 %1 层").arg(maximumDepth);
            return false;
        }
        open_.push_back({std::move(container), QString()});
        return true;
    }

    bool close()
    {
        const Container finished = std::move(open_.back().container);
        open_.pop_back();
        return add(std::visit([](const auto &container) { return QJsonValue(container); }, finished));
    }

    struct Open
    {
        Container container;
        QString key;  // for an object: the key of the value being read, kept while a nested one is read
    };
    std::vector<Open> open_;
};

} // namespace

std::optional<QJsonValue> parseStrictJson(const QByteArray &bytes, QString *error)
{
    // nlohmann's lexer takes a NUL byte for the end of the input and would read "{}\0x" as "{}".
    // JSON allows no raw NUL anywhere, so such a text is refused whole.
    if (const qsizetype nul = bytes.indexOf('\0'); nul >= 0) {
        if (error)
            *error = syntaxErrorAt(std::size_t(nul) + 1);
        return std::nullopt;
    }
    TreeBuilder builder;
    const bool parsed = Json::sax_parse(bytes.cbegin(), bytes.cend(), &builder, Json::input_format_t::json,
                                        /*strict=*/true, /*ignore_comments=*/false);
    if (parsed && builder.result)
        return builder.result;
    if (error)
        *error = builder.error;
    return std::nullopt;
}
