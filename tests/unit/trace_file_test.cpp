// A request whose outcome the tool could not know keeps that mark through its trace, so a replay
// answers it as the run saw it and the transport does not send it again.
#include <gtest/gtest.h>

#include <string>

#include "trace/trace_file.h"

namespace torvex {
namespace {

TracedRequest RequestRead(const std::string& line) {
    const TraceReading reading = ReadTrace(line + "\n");
    EXPECT_EQ(reading.error, "");
    if (reading.items.size() != 1) return {};
    return std::get<TracedRequest>(std::get<PlatformRecord>(reading.items[0].content).call);
}

TEST(TraceFile, AnUnknownOutcomeIsWrittenOnlyWhenSetAndReadBack) {
    TracedRequest request;
    request.handle = 3;
    request.cdb = {0xFF, 0x29, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    request.direction = DataDirection::Out;
    request.result.diagnostic = "the product may have received the command";
    for (const bool unknown : {false, true}) {
        SCOPED_TRACE(unknown ? "outcome unknown" : "not delivered");
        request.result.outcome_unknown = unknown;
        const std::vector<std::string> lines = TraceLines({7, request});
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_EQ(lines[0].find("outcome_unknown") != std::string::npos, unknown) << lines[0];
        const TracedRequest read = RequestRead(lines[0]);
        EXPECT_EQ(read.result.outcome_unknown, unknown);
        EXPECT_EQ(TraceLines({7, read}), lines);
    }
    const std::string line = TraceLines({7, request})[0];
    const std::string mark = "\"outcome_unknown\":true";
    std::string edited = line;
    edited.replace(edited.find(mark), mark.size(), "\"outcome_unknown\":1");
    EXPECT_NE(ReadTrace(edited).error, "") << edited;
}

}  // namespace
}  // namespace torvex
