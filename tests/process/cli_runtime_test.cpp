// The runner's options, its window port on stdout/stderr and the endings it recognises.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <sstream>
#include <string>

#include "app/user_messages.h"
#include "base/status_log.h"
#include "cli/headless_window.h"
#include "cli/options.h"
#include "tests/support/output_files.h"

namespace torvex::cli {
namespace {

TEST(CliOptions, DefaultsAndValues) {
    auto parsed = ParseOptions({});
    ASSERT_TRUE(parsed.options);
    EXPECT_EQ(parsed.options->tick_ms, 1000);
    EXPECT_EQ(parsed.options->timeout_s, 120);
    EXPECT_FALSE(parsed.options->virtual_state);

    parsed = ParseOptions({"--tick-ms", "50", "--timeout-s=9", "--virtual", "protect-isp"});
    ASSERT_TRUE(parsed.options);
    EXPECT_EQ(parsed.options->tick_ms, 50);
    EXPECT_EQ(parsed.options->timeout_s, 9);
    EXPECT_EQ(*parsed.options->virtual_state, "protect-isp");
    EXPECT_TRUE(ParseOptions({"--help"}).options->help);
    EXPECT_FALSE(ParseOptions({}).options->unmount);
    EXPECT_TRUE(ParseOptions({"--unmount"}).options->unmount);
    EXPECT_TRUE(ParseOptions({"--version"}).options->version);

    parsed = ParseOptions({"--list", "--json", "--port", "2-1.4", "--trace=run.jsonl"});
    ASSERT_TRUE(parsed.options) << parsed.error;
    EXPECT_TRUE(parsed.options->list && parsed.options->json);
    EXPECT_EQ(*parsed.options->port, "2-1.4");
    EXPECT_EQ(*parsed.options->trace, "run.jsonl");
    parsed = ParseOptions({"--serial", "0000000012345678", "--replay", "run.jsonl"});
    ASSERT_FALSE(parsed.options) << "--replay takes its options from the trace";
    parsed = ParseOptions({"--serial=0000000012345678"});
    ASSERT_TRUE(parsed.options);
    EXPECT_EQ(*parsed.options->serial, "0000000012345678");
}

TEST(CliOptions, BadUsageIsRejectedWithAReason) {
    for (const auto& args :
         std::vector<std::vector<std::string>>{{"--tick-ms"},
                                               {"--tick-ms", "0"},
                                               {"--tick-ms", "-5"},
                                               {"--tick-ms", "12x"},
                                               {"--timeout-s", "99999999999"},
                                               {"--frobnicate"},
                                               {"extra"},
                                               {"--port"},
                                               {"--port", ""},
                                               {"--trace="},
                                               {"--port", "1-2", "--serial", "S"},
                                               {"--replay", "t", "--virtual", "ota"},
                                               {"--replay", "t", "--list"},
                                               {"--replay", "t", "--trace", "u"}}) {
        const auto parsed = ParseOptions(args);
        EXPECT_FALSE(parsed.options) << ::testing::PrintToString(args);
        EXPECT_FALSE(parsed.error.empty());
    }
}

// The help and the parser come from one table: every option the help names is one the parser
// knows, with a value exactly when the help shows one.
TEST(CliOptions, EveryOptionTheHelpNamesIsParsed) {
    std::istringstream help(HelpText({"ota"}));
    std::size_t named = 0;
    for (std::string line; std::getline(help, line);) {
        if (line.rfind("  --", 0) != 0) continue;
        std::istringstream words(line);
        std::string name;
        std::string second;
        words >> name >> second;
        const bool takes_value =
            !second.empty() &&
            std::all_of(second.begin(), second.end(), [](char c) { return c >= 'A' && c <= 'Z'; });
        SCOPED_TRACE(name);
        const auto alone = ParseOptions({name});
        EXPECT_EQ(alone.error.find("unknown option"), std::string::npos) << alone.error;
        EXPECT_EQ(alone.error == "option '" + name + "' needs a value", takes_value) << alone.error;
        ++named;
    }
    EXPECT_EQ(named, 14u);
}

// A hostile value never reaches the terminal as it is: no escape sequence, no line end, no
// screenful of text.
TEST(CliOptions, EchoedValuesAreShownSafelyAndCut) {
    const auto parsed = ParseOptions({"--tick-ms", "\x1b[2J\r\n" + std::string(300, 'x')});
    ASSERT_FALSE(parsed.options);
    const std::string shown = "\xEF\xBF\xBD[2J\xEF\xBF\xBD\xEF\xBF\xBD" + std::string(194, 'x');
    EXPECT_EQ(parsed.error, "bad value '" + shown + "' for --tick-ms");
    EXPECT_EQ(EchoedSafely("\xC3\xA9\xFF"), "\xC3\xA9\xEF\xBF\xBD");
    EXPECT_TRUE(ParseOptions({"--allow-sample-firmware"}).options->allow_sample_firmware);
}

struct HeadlessWindowTest : ::testing::Test {
    HeadlessWindowTest() : out(std::tmpfile()), err(std::tmpfile()), window(out, err) {}
    ~HeadlessWindowTest() override {
        std::fclose(out);
        std::fclose(err);
    }
    static std::string Read(std::FILE* f) { return testing::ReadAll(f); }
    std::FILE* out;
    std::FILE* err;
    HeadlessWindow window;
};

TEST_F(HeadlessWindowTest, LinesGoToStdoutUnchangedWithNewline) {
    StatusLog log(window);
    log.AppendStatusLine(u"VID:2175 PID:5001");
    log.AppendStatusLine(u"\r");
    log.AppendStatusLine(u"Name: \u00E9");
    EXPECT_EQ(Read(out), "VID:2175 PID:5001\n\r\nName: \xC3\xA9\n");
    EXPECT_FALSE(window.Ended());
}

TEST_F(HeadlessWindowTest, TheFirstEndingSetsTheExitStatusWhateverTheTexts) {
    struct Case {
        std::vector<RunEnding> reported;
        int status;
    };
    for (const Case& c :
         {Case{{RunEnding::Success}, 0}, Case{{RunEnding::AlreadyUpdated}, 0},
          Case{{RunEnding::Failure}, 1}, Case{{RunEnding::ReplugTimeout}, 1},
          Case{{RunEnding::NotSupported}, 2}, Case{{RunEnding::FirmwareRejected}, 3},
          Case{{RunEnding::FirmwareRejected, RunEnding::Failure}, 1},
          Case{{RunEnding::Failure, RunEnding::Success}, 1}, Case{{}, 3}}) {
        HeadlessWindow w(out, err);
        w.ShowMessageBox(kReconnectMessage);  // texts do not decide anything
        for (RunEnding ending : c.reported) w.ReportRunEnding(ending);
        EXPECT_EQ(ExitStatusFor(w.Ending()), c.status);
    }
    EXPECT_EQ(
        Read(err).rfind("Please disconnect and reconnect the device to your PC, \r\ntry the update "
                        "again.\n",
                        0),
        0u);
}

TEST_F(HeadlessWindowTest, ClicksOnceWhenUpdateIsFirstEnabledAndKeepsPostedClicks) {
    window.EnableUpdateButton(false);
    EXPECT_FALSE(window.TakePostedClick());
    window.EnableUpdateButton(true);
    window.EnableUpdateButton(false);
    window.EnableUpdateButton(true);
    EXPECT_TRUE(window.TakePostedClick());
    EXPECT_FALSE(window.TakePostedClick());
    window.PostUpdateClick();
    EXPECT_TRUE(window.TakePostedClick());
}

}  // namespace
}  // namespace torvex::cli
