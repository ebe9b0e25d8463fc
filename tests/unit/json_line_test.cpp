// JSON lines as the runner writes its events and traces and reads traces back: every control
// character escaped, text that is not UTF-8 made safe, and a reader that refuses what it was not
// written to read.
#include <gtest/gtest.h>

#include "trace/json_line.h"

namespace torvex {
namespace {

TEST(JsonLine, TextIsEscapedSoALineNeverBreaksAndReadsBackTheSame) {
    struct Case {
        const char* description;
        std::string text;
        std::string quoted;
        std::string read_back;  // what a reader gets
    };
    const Case cases[] = {
        {"quote and backslash", "a\"b\\c", R"("a\"b\\c")", "a\"b\\c"},
        {"line ends and tab", "\r\n\t", R"("\r\n\t")", "\r\n\t"},
        {"backspace, form feed, an escaped backslash before a b", "\b\f\\b", R"("\u0008\u000c\\b")",
         "\b\f\\b"},
        {"other controls, DEL, NUL", std::string("\x01\x1b[2J\x7f\0z", 8),
         R"("\u0001\u001b[2J\u007f\u0000z")", std::string("\x01\x1b[2J\x7f\0z", 8)},
        {"UTF-8 kept", "\xC3\xA9\xF0\x9F\x98\x80", "\"\xC3\xA9\xF0\x9F\x98\x80\"",
         "\xC3\xA9\xF0\x9F\x98\x80"},
        {"not UTF-8: a stray byte, an overlong form, a surrogate", "\xFF|\xC0\xAF|\xED\xA0\x80",
         "\"\xEF\xBF\xBD|\xEF\xBF\xBD\xEF\xBF\xBD|\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\"",
         "\xEF\xBF\xBD|\xEF\xBF\xBD\xEF\xBF\xBD|\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"line separators", "\xE2\x80\xA8\xE2\x80\xA9", R"("\u2028\u2029")",
         "\xE2\x80\xA8\xE2\x80\xA9"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.description);
        EXPECT_EQ(JsonQuoted(c.text), c.quoted);
        const std::string line = JsonLine().Text("text", c.text).Number("n", -42).Str();
        EXPECT_EQ(line.find('\n'), std::string::npos);
        const JsonParse parsed = ParseJsonObject(line);
        ASSERT_TRUE(parsed.object) << parsed.error;
        EXPECT_EQ(parsed.object->at("text").text, c.read_back);
        EXPECT_EQ(parsed.object->at("n").number, -42);
    }
}

TEST(JsonLine, TheReaderRefusesWhatItDoesNotRead) {
    for (const char* line :
         {"", "{", "[1]", R"({"a":1,})", R"({"a":{"b":1}})", R"({"a":[1]})", R"({"a":1.5})",
          R"({"a":1e3})", R"({"a":99999999999999999999})", R"({"a":1,"a":2})", R"({"a":1} x)",
          "{\"a\":\"\x01\"}", R"({"a":"\q"})", R"({"a":"\u12"})", R"({"a":tru})",
          R"({"s":"\ud800x"})", "{\"s\":\"\xff\"}", R"({"a":1,"b":{"a":2}})"}) {
        const JsonParse parsed = ParseJsonObject(line);
        EXPECT_FALSE(parsed.object) << line;
        EXPECT_FALSE(parsed.error.empty()) << line;
    }
    const JsonParse kinds =
        ParseJsonObject(R"({"s":"\ud83d\ude00","b":false,"z":null,"m":-9223372036854775808})");
    ASSERT_TRUE(kinds.object) << kinds.error;
    EXPECT_EQ(kinds.object->at("s").text, "\xF0\x9F\x98\x80");
    EXPECT_EQ(kinds.object->at("z").kind, JsonValue::Kind::Null);
    EXPECT_EQ(kinds.object->at("m").number, INT64_MIN);
}

}  // namespace
}  // namespace torvex
