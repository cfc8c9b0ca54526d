#include "HealthRecord.h"

#include <cstring>

namespace {

// A walk over a JSON text.
struct Cursor
{
    const char *at;
    const char *end;

    void skipSpace()
    {
        while (at < end && (*at == ' ' || *at == '\t' || *at == '\n' || *at == '\r'))
            ++at;
    }
    bool take(char c)
    {
        skipSpace();
        if (at == end || *at != c)
            return false;
        ++at;
        return true;
    }
    bool takeWord(const char *word)
    {
        const size_t length = std::strlen(word);
        if (size_t(end - at) < length || std::strncmp(at, word, length) != 0)
            return false;
        at += length;
        return true;
    }
};

// A decoded JSON string. Only its first bytes are kept; length counts them all, so a cut
// string never equals a shorter one. Characters beyond ASCII become 0xff, which no name
// compared below holds.
struct Text
{
    char bytes[32];
    size_t length = 0;

    bool is(const char *expected) const
    {
        return length == std::strlen(expected) && std::memcmp(bytes, expected, length) == 0;
    }
};

bool readEscape(Cursor &c, unsigned char *byte)
{
    static const char from[] = "\"\\/bfnrt";
    static const char to[] = "\"\\/\b\f\n\r\t";
    if (c.at == c.end)
        return false;
    const char escape = *c.at++;
    if (const char *found = std::strchr(from, escape); found && escape) {
        *byte = static_cast<unsigned char>(to[found - from]);
        return true;
    }
    if (escape != 'u' || c.end - c.at < 4)
        return false;
    unsigned code = 0;
    for (int i = 0; i < 4; ++i, ++c.at) {
        const char digit = *c.at;
        const char *hex = std::strchr("0123456789abcdef", digit | 0x20);
        if (!hex || !digit)
            return false;
        code = code * 16 + unsigned(hex - "0123456789abcdef");
    }
    *byte = code < 0x80 ? static_cast<unsigned char>(code) : 0xff;
    return true;
}

bool readString(Cursor &c, Text *text)
{
    if (!c.take('"'))
        return false;
    text->length = 0;
    while (c.at < c.end) {
        auto byte = static_cast<unsigned char>(*c.at++);
        if (byte == '"')
            return true;
        if (byte < 0x20 || (byte == '\\' && !readEscape(c, &byte)))
            return false;
        if (text->length < sizeof text->bytes)
            text->bytes[text->length] = char(byte >= 0x80 ? 0xff : byte);
        ++text->length;
    }
    return false;
}

bool skipDigits(Cursor &c)
{
    const char *start = c.at;
    while (c.at < c.end && *c.at >= '0' && *c.at <= '9')
        ++c.at;
    return c.at > start;
}

// A JSON number; whole is set for an integer without fraction or exponent that fits.
bool readNumber(Cursor &c, bool *whole, long long *value)
{
    const bool negative = c.takeWord("-");
    const char *digits = c.at;
    if (!skipDigits(c) || (*digits == '0' && c.at - digits > 1))
        return false;
    *whole = c.at - digits <= 18;
    *value = 0;
    for (const char *d = digits; *whole && d < c.at; ++d)
        *value = *value * 10 + (*d - '0');
    if (negative)
        *value = -*value;
    if (c.takeWord(".")) {
        *whole = false;
        if (!skipDigits(c))
            return false;
    }
    if (c.takeWord("e") || c.takeWord("E")) {
        *whole = false;
        if (!c.takeWord("+"))
            c.takeWord("-");
        if (!skipDigits(c))
            return false;
    }
    return true;
}

struct Value
{
    enum Kind { string, number, other } kind = other;
    Text text;
    bool whole = false;
    long long integer = 0; // when whole
};

bool readValue(Cursor &c, Value *value)
{
    c.skipSpace();
    if (c.at < c.end && *c.at == '"') {
        value->kind = Value::string;
        return readString(c, &value->text);
    }
    if (c.at < c.end && (*c.at == '-' || (*c.at >= '0' && *c.at <= '9'))) {
        value->kind = Value::number;
        return readNumber(c, &value->whole, &value->integer);
    }
    return c.takeWord("true") || c.takeWord("false") || c.takeWord("null");
}

} // namespace

bool readHealthRecord(const char *body, size_t length, HealthRecord *record)
{
    Cursor c{body, body + length};
    if (!c.take('{'))
        return false;
    if (!c.take('}')) {
        do {
            Text name;
            Value value;
            if (!readString(c, &name) || !c.take(':') || !readValue(c, &value))
                return false;
            if (name.is("service"))
                record->ours = value.kind == Value::string && value.text.is("quillo-edge-server");
            else if (name.is("status"))
                record->ok = value.kind == Value::string && value.text.is("ok");
            else if (name.is("pid"))
                record->pid = value.kind == Value::number && value.whole ? value.integer : -1;
        } while (c.take(','));
        if (!c.take('}'))
            return false;
    }
    c.skipSpace();
    return c.at == c.end;
}

