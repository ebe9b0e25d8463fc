// The runner as scripts use it: started as a child process on a virtual product, judged by its
// stdout, stderr and exit status.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace {

struct ProcessResult {
    int status = -1;
    std::string out;
    std::string err;
};

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

ProcessResult RunCli(const std::string& arguments) {
    // ctest runs the cases as parallel processes: each keeps its own files.
    const std::string stem = ::testing::TempDir() + "cli_" + std::to_string(getpid()) + "_";
    const std::string out = stem + "out.txt";
    const std::string err = stem + "err.txt";
    const std::string command =
        std::string(TORVEX_CLI_PATH) + " " + arguments + " >" + out + " 2>" + err + " </dev/null";
    const int raw = std::system(command.c_str());
    ProcessResult result;
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    result.out = ReadFile(out);
    result.err = ReadFile(err);
    return result;
}

bool EndsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

TEST(CliVirtualProduct, TwoRunUpdateFromApplicationCodeSucceeds) {
    const auto r = RunCli("--virtual application-old --tick-ms 20 --timeout-s 20");
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(r.err.empty()) << r.err;
    EXPECT_NE(r.out.find("EF64_Old\nISP EF32_0 - *.BinX  (Group_1)\n"), std::string::npos);
    EXPECT_NE(r.out.find("Run Code at OTA Code\n"), std::string::npos);
    EXPECT_NE(r.out.find("Check_OTA_Version_at_OTA -------------------------------------------\n"),
              std::string::npos);
    // The identity lines end with a line "\r", printed unchanged.
    EXPECT_NE(r.out.find("Device EF32_0 FW Name: F_TORVEXZED_OTA_GROUP1\n\r\n"), std::string::npos);
    EXPECT_TRUE(EndsWith(r.out, "Jump to EFlash 64*8\nPASS.\nUpdat FW.... Update complete !!\n"));
}

TEST(CliVirtualProduct, EndingsMapToExitStatuses) {
    struct Case {
        const char* state;
        int status;
        const char* last_line;
        const char* message;
    };
    const Case cases[] = {
        {"protect-isp", 0, "Updat FW.... Update complete !!\n", ""},
        {"mask-0210", 0, "Updat FW.... Update complete !!\n", ""},
        {"application-current", 0, "EF64_current\n", "Your device is already updated.\n"},
        {"mask-0110", 2, "Mask 0110....\n",
         "Your device's current firmware is not supported to update. \r\nPlease return the "
         "product to manufacturer.\n"},
        {"application-other-line", 2, "Other Code\n",
         "Your device's current firmware is not supported to update. \r\nPlease return the "
         "product to manufacturer.\n"},
    };
    for (const Case& c : cases) {
        const auto r = RunCli(std::string("--virtual ") + c.state + " --tick-ms 20 --timeout-s 20");
        EXPECT_EQ(r.status, c.status) << c.state;
        EXPECT_TRUE(EndsWith(r.out, c.last_line)) << c.state << "\n" << r.out;
        EXPECT_EQ(r.err, c.message) << c.state;
    }
}

TEST(CliVirtualProduct, BadUsageExits64WithAReason) {
    for (const char* args : {"--bogus", "--tick-ms 0", "--timeout-s", "--virtual no-such-state"}) {
        const auto r = RunCli(args);
        EXPECT_EQ(r.status, 64) << args;
        EXPECT_TRUE(r.out.empty()) << args;
        EXPECT_NE(r.err.find("torvex-isp-cli: "), std::string::npos) << args;
    }
}

TEST(CliVirtualProduct, HelpListsOptionsAndStates) {
    const auto r = RunCli("--help");
    EXPECT_EQ(r.status, 0);
    for (const char* word : {"--tick-ms", "--timeout-s", "--virtual", "--verbose",
                             "application-old", "mask-0110", "Exit status"})
        EXPECT_NE(r.out.find(word), std::string::npos) << word;
}

}  // namespace
