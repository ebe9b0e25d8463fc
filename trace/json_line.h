#pragma once
// One JSON object per line: how the runner writes its --json events and its --trace records, and
// how a trace is read back for --replay. nlohmann-json reads and writes the text; only flat
// objects are written and read (strings, whole numbers, true/false/null): every line of ours is
// one, and a reader that knows nothing deeper has less to get wrong on a file someone sent in.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace torvex {

struct JsonValue {
    enum class Kind : std::uint8_t { String, Number, Bool, Null };
    Kind kind = Kind::Null;
    std::string text;  // String: UTF-8
    std::int64_t number = 0;
    bool flag = false;
};

// The text as a JSON string, quotes included. Every control character (and DEL) is escaped, so a
// line never breaks and no escape sequence reaches a terminal; bytes that are not valid UTF-8
// become U+FFFD; U+2028 and U+2029 are escaped for readers that treat them as line ends.
std::string JsonQuoted(std::string_view utf8);

// Builds one object, members in the order they are added.
class JsonLine {
  public:
    JsonLine& Text(std::string_view key, std::string_view utf8);
    JsonLine& Number(std::string_view key, std::int64_t value);
    JsonLine& Flag(std::string_view key, bool value);
    // "{...}" without a line end, every text escaped as JsonQuoted does.
    std::string Str() const;

  private:
    std::vector<std::pair<std::string, JsonValue>> members_;
};

using JsonObject = std::map<std::string, JsonValue, std::less<>>;

struct JsonParse {
    std::optional<JsonObject> object;  // empty: not one flat object
    std::string error;                 // what was wrong, and at which byte
};

// Reads one flat object. Refused: nested objects and arrays, numbers with a fraction or an
// exponent or beyond 64 bits, raw control characters in strings, a key given twice, anything
// after the object but blanks, text that is not UTF-8 and \u escapes of lone surrogates.
JsonParse ParseJsonObject(std::string_view line);

}  // namespace torvex
