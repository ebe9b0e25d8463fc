#include "trace/json_line.h"

#include <limits>
#include <nlohmann/json.hpp>
#include <set>

#include "base/text.h"

namespace torvex {

namespace {

using Json = nlohmann::ordered_json;

// Text that is valid UTF-8: each byte that starts no well-formed sequence becomes U+FFFD.
std::string ValidUtf8(std::string_view text) {
    return ToUtf8(FromUtf8(text));
}

// nlohmann-json escapes the C0 controls; DEL and the two Unicode line ends are escaped here as
// well, and backspace and form feed are written as \u escapes like the other controls. The
// serializer writes these characters only inside strings, raw, and every backslash it writes
// starts an escape, so the text can be walked escape by escape.
std::string EscapeTheRest(const std::string& dumped) {
    std::string out;
    out.reserve(dumped.size());
    for (std::size_t at = 0; at < dumped.size(); ++at) {
        const char c = dumped[at];
        if (c == '\\' && at + 1 < dumped.size()) {
            const char escaped = dumped[++at];
            if (escaped == 'b') {
                out += "\\u0008";
            } else if (escaped == 'f') {
                out += "\\u000c";
            } else {
                out += c;
                out += escaped;
            }
        } else if (c == '\x7f') {
            out += "\\u007f";
        } else if (c == '\xe2' && at + 2 < dumped.size() && dumped[at + 1] == '\x80' &&
                   (dumped[at + 2] == '\xa8' || dumped[at + 2] == '\xa9')) {
            out += dumped[at + 2] == '\xa8' ? "\\u2028" : "\\u2029";
            at += 2;
        } else {
            out += c;
        }
    }
    return out;
}

std::string Dump(const Json& json) {
    return EscapeTheRest(json.dump());
}

}  // namespace

std::string JsonQuoted(std::string_view utf8) {
    return Dump(Json(ValidUtf8(utf8)));
}

JsonLine& JsonLine::Text(std::string_view key, std::string_view utf8) {
    JsonValue value;
    value.kind = JsonValue::Kind::String;
    value.text = ValidUtf8(utf8);
    members_.emplace_back(ValidUtf8(key), std::move(value));
    return *this;
}

JsonLine& JsonLine::Number(std::string_view key, std::int64_t number) {
    JsonValue value;
    value.kind = JsonValue::Kind::Number;
    value.number = number;
    members_.emplace_back(ValidUtf8(key), std::move(value));
    return *this;
}

JsonLine& JsonLine::Flag(std::string_view key, bool flag) {
    JsonValue value;
    value.kind = JsonValue::Kind::Bool;
    value.flag = flag;
    members_.emplace_back(ValidUtf8(key), std::move(value));
    return *this;
}

std::string JsonLine::Str() const {
    Json object = Json::object();
    for (const auto& [key, value] : members_) {
        switch (value.kind) {
            case JsonValue::Kind::String:
                object[key] = value.text;
                break;
            case JsonValue::Kind::Number:
                object[key] = value.number;
                break;
            case JsonValue::Kind::Bool:
                object[key] = value.flag;
                break;
            case JsonValue::Kind::Null:
                object[key] = nullptr;
                break;
        }
    }
    return Dump(object);
}

namespace {

// nlohmann-json's message without its "[json.exception...] " prefix.
std::string Reason(const char* what) {
    const std::string_view text(what);
    const auto end = text.find("] ");
    return std::string(end == std::string_view::npos ? text : text.substr(end + 2));
}

std::optional<JsonValue> FlatValue(const Json& json, std::string& error) {
    JsonValue value;
    if (json.is_string()) {
        value.kind = JsonValue::Kind::String;
        value.text = json.get<std::string>();
    } else if (json.is_number_float()) {
        error = "only whole numbers are read";
        return std::nullopt;
    } else if (json.is_number_unsigned()) {
        const auto number = json.get<std::uint64_t>();
        if (number > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
            error = "number too large";
            return std::nullopt;
        }
        value.kind = JsonValue::Kind::Number;
        value.number = static_cast<std::int64_t>(number);
    } else if (json.is_number_integer()) {
        value.kind = JsonValue::Kind::Number;
        value.number = json.get<std::int64_t>();
    } else if (json.is_boolean()) {
        value.kind = JsonValue::Kind::Bool;
        value.flag = json.get<bool>();
    } else if (!json.is_null()) {
        error = "nested values are not read";
        return std::nullopt;
    }
    return value;
}

}  // namespace

JsonParse ParseJsonObject(std::string_view line) {
    // The parser keeps the last of two equal keys and reads nested values: the callback sees
    // every key and every start of a value on the way and notes what a flat object may not hold.
    std::string refusal;
    std::set<std::string> keys;
    const auto callback = [&](int depth, Json::parse_event_t event, Json& parsed) {
        if (!refusal.empty()) return false;
        if (event == Json::parse_event_t::array_start ||
            (event == Json::parse_event_t::object_start && depth > 0)) {
            refusal = "nested values are not read";
        } else if (event == Json::parse_event_t::key && depth == 1 &&
                   !keys.insert(parsed.get<std::string>()).second) {
            refusal = "a key given twice";
        }
        return refusal.empty();
    };
    Json json;
    try {
        json = Json::parse(line.begin(), line.end(), callback);
    } catch (const Json::exception& failure) {
        return {std::nullopt, Reason(failure.what())};
    }
    if (!refusal.empty()) return {std::nullopt, refusal};
    if (!json.is_object()) return {std::nullopt, "not an object"};
    JsonObject object;
    for (const auto& [key, member] : json.items()) {
        std::string error;
        std::optional<JsonValue> value = FlatValue(member, error);
        if (!value) return {std::nullopt, "'" + key + "' " + error};
        object.emplace(key, std::move(*value));
    }
    return {std::move(object), ""};
}

}  // namespace torvex
