#include "base/json_line.h"

#include <cstdio>
#include <limits>

namespace torvex {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// The code point of the well-formed UTF-8 sequence at text[at], and its length; length 1 and
// U+FFFD for a byte that starts none (overlong forms, surrogates and values past U+10FFFF
// included).
std::pair<char32_t, std::size_t> DecodeUtf8(std::string_view text, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[at + i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) return {lead, 1};
    std::size_t length = 0;
    char32_t value = 0;
    char32_t minimum = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, value = lead & 0x1Fu, minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, value = lead & 0x0Fu, minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, value = lead & 0x07u, minimum = 0x10000;
    } else {
        return {kReplacement, 1};
    }
    if (at + length > text.size()) return {kReplacement, 1};
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0u) != 0x80u) return {kReplacement, 1};
        value = (value << 6) | (byte(i) & 0x3Fu);
    }
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return {kReplacement, 1};
    return {value, length};
}

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

void AppendEscaped(std::string& out, char32_t c) {
    switch (c) {
        case '"':
            out += "\\\"";
            return;
        case '\\':
            out += "\\\\";
            return;
        case '\n':
            out += "\\n";
            return;
        case '\r':
            out += "\\r";
            return;
        case '\t':
            out += "\\t";
            return;
        default:
            break;
    }
    if (c < 0x20 || c == 0x7F || c == 0x2028 || c == 0x2029) {
        char escape[8];
        std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
        out += escape;
        return;
    }
    AppendUtf8(out, c);
}

}  // namespace

std::string JsonQuoted(std::string_view utf8) {
    std::string out = "\"";
    for (std::size_t at = 0; at < utf8.size();) {
        const auto [c, length] = DecodeUtf8(utf8, at);
        AppendEscaped(out, c);
        at += length;
    }
    out += '"';
    return out;
}

JsonLine& JsonLine::Key(std::string_view key) {
    if (text_.size() > 1) text_ += ',';
    text_ += JsonQuoted(key);
    text_ += ':';
    return *this;
}

JsonLine& JsonLine::Text(std::string_view key, std::string_view utf8) {
    Key(key).text_ += JsonQuoted(utf8);
    return *this;
}

JsonLine& JsonLine::Number(std::string_view key, std::int64_t value) {
    Key(key).text_ += std::to_string(value);
    return *this;
}

JsonLine& JsonLine::Flag(std::string_view key, bool value) {
    Key(key).text_ += value ? "true" : "false";
    return *this;
}

namespace {

// A reader over one line; every method leaves `error` set when it fails.
class FlatReader {
  public:
    explicit FlatReader(std::string_view text) : text_(text) {}
    JsonParse Read();

  private:
    bool Fail(std::string what) {
        if (error_.empty()) error_ = what + " at byte " + std::to_string(at_ + 1);
        return false;
    }
    std::nullopt_t Refuse(std::string what) {
        Fail(std::move(what));
        return std::nullopt;
    }
    void SkipBlanks() {
        while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\t' ||
                                      text_[at_] == '\r' || text_[at_] == '\n'))
            ++at_;
    }
    bool Take(char c) {
        SkipBlanks();
        if (at_ >= text_.size() || text_[at_] != c) return false;
        ++at_;
        return true;
    }
    bool Word(std::string_view word) {
        if (text_.substr(at_, word.size()) != word) return false;
        at_ += word.size();
        return true;
    }
    bool String(std::string& out);
    bool Escape(std::string& out);
    std::optional<unsigned> Hex4();
    bool NumberValue(JsonValue& value);
    bool Value(JsonValue& value);
    std::optional<JsonObject> Object();

    std::string_view text_;
    std::size_t at_ = 0;
    std::string error_;
};

std::optional<unsigned> FlatReader::Hex4() {
    if (at_ + 4 > text_.size()) return std::nullopt;
    unsigned value = 0;
    for (int i = 0; i < 4; ++i) {
        const char c = text_[at_++];
        value <<= 4;
        if (c >= '0' && c <= '9')
            value |= static_cast<unsigned>(c - '0');
        else if (c >= 'a' && c <= 'f')
            value |= static_cast<unsigned>(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F')
            value |= static_cast<unsigned>(c - 'A' + 10);
        else
            return std::nullopt;
    }
    return value;
}

bool FlatReader::Escape(std::string& out) {
    if (at_ >= text_.size()) return Fail("unfinished escape");
    const char c = text_[at_++];
    const std::string_view simple = "\"\\/bfnrt";
    const std::string_view meaning = "\"\\/\b\f\n\r\t";
    if (const auto i = simple.find(c); i != std::string_view::npos) {
        out.push_back(meaning[i]);
        return true;
    }
    if (c != 'u') return Fail("unknown escape");
    const auto unit = Hex4();
    if (!unit) return Fail("bad \\u escape");
    char32_t code = *unit;
    if (code >= 0xD800 && code <= 0xDBFF && Word("\\u")) {
        const std::size_t second_at = at_;
        const auto low = Hex4();
        if (!low) return Fail("bad \\u escape");
        if (*low >= 0xDC00 && *low <= 0xDFFF) {
            code = 0x10000 + ((code - 0xD800) << 10) + (*low - 0xDC00);
        } else {
            at_ = second_at - 2;  // read the second escape on its own
            code = kReplacement;
        }
    } else if (code >= 0xD800 && code <= 0xDFFF) {
        code = kReplacement;
    }
    AppendUtf8(out, code);
    return true;
}

bool FlatReader::String(std::string& out) {
    if (!Take('"')) return Fail("expected a string");
    while (at_ < text_.size()) {
        const char c = text_[at_];
        if (c == '"') {
            ++at_;
            return true;
        }
        if (static_cast<unsigned char>(c) < 0x20) return Fail("control character in a string");
        ++at_;
        if (c == '\\') {
            if (!Escape(out)) return false;
        } else {
            out.push_back(c);
        }
    }
    return Fail("unfinished string");
}

bool FlatReader::NumberValue(JsonValue& value) {
    const bool negative = Word("-");
    std::uint64_t magnitude = 0;
    const std::size_t digits_at = at_;
    while (at_ < text_.size() && text_[at_] >= '0' && text_[at_] <= '9') {
        const auto digit = static_cast<std::uint64_t>(text_[at_++] - '0');
        if (magnitude > (std::numeric_limits<std::uint64_t>::max() - digit) / 10)
            return Fail("number too large");
        magnitude = magnitude * 10 + digit;
    }
    if (at_ == digits_at) return Fail("expected a value");
    if (at_ < text_.size() && (text_[at_] == '.' || text_[at_] == 'e' || text_[at_] == 'E'))
        return Fail("only whole numbers are read");
    const std::uint64_t limit =
        static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()) + (negative ? 1 : 0);
    if (magnitude > limit) return Fail("number too large");
    value.kind = JsonValue::Kind::Number;
    value.number =
        negative ? static_cast<std::int64_t>(0 - magnitude) : static_cast<std::int64_t>(magnitude);
    return true;
}

bool FlatReader::Value(JsonValue& value) {
    SkipBlanks();
    if (at_ >= text_.size()) return Fail("expected a value");
    const char c = text_[at_];
    if (c == '"') {
        value.kind = JsonValue::Kind::String;
        return String(value.text);
    }
    if (c == '{' || c == '[') return Fail("nested values are not read");
    for (const bool flag : {true, false}) {
        if (!Word(flag ? "true" : "false")) continue;
        value.kind = JsonValue::Kind::Bool;
        value.flag = flag;
        return true;
    }
    if (Word("null")) return true;
    return NumberValue(value);
}

JsonParse FlatReader::Read() {
    if (std::optional<JsonObject> object = Object()) return {std::move(object), ""};
    return {std::nullopt, error_};
}

std::optional<JsonObject> FlatReader::Object() {
    JsonObject object;
    if (!Take('{')) return Refuse("expected '{'");
    bool first = true;
    while (!Take('}')) {
        if (!first && !Take(',')) return Refuse("expected ',' or '}'");
        first = false;
        std::string key;
        JsonValue value;
        if (!String(key)) return std::nullopt;
        if (!Take(':')) return Refuse("expected ':'");
        if (!Value(value)) return std::nullopt;
        if (!object.emplace(std::move(key), std::move(value)).second)
            return Refuse("a key given twice");
    }
    SkipBlanks();
    if (at_ != text_.size()) return Refuse("text after the object");
    return object;
}

}  // namespace

JsonParse ParseJsonObject(std::string_view line) {
    return FlatReader(line).Read();
}

}  // namespace torvex
