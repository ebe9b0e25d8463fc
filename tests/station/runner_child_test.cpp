// How a runner child's end is judged: only a runner that exits by itself after its ending, with
// the status that ending named, has ended well.
#include <gtest/gtest.h>

#include <QTest>
#include <optional>

#include "app/station/runner_child.h"

namespace torvex::station {
namespace {

struct EndCase {
    const char* script;
    const char* failure_start;  // empty: ended well
};

TEST(RunnerChildTest, EndsWellOnlyAfterItsOwnEndingWithThatStatus) {
    const EndCase cases[] = {
        {R"(echo '{"event":"log","text":"a"}'; echo '{"event":"ending","result":"success","exit":0}')",
         ""},
        {R"(echo '{"event":"log","text":"a"}'; echo 'Segmentation fault'; echo '{"event":"ending","result":"success","exit":0}')",
         "the runner printed what is not JSON: Segmentation fault"},
        {R"(echo '{"event":"log","text":"a"}')",
         "the runner ended with status 0 without an ending"},
        {R"(echo '{"event":"ending","result":"success","exit":0}'; exit 1)",
         "the runner ended with status 1 after an ending of status 0"},
        {R"(echo '{"event":"ending","result":"success","exit":0}' | head -c 20)",
         "the runner printed what is not JSON"},
        {R"(kill -9 $$)", "the runner died before its ending"},
    };
    for (const EndCase& c : cases) {
        RunnerChild child(u"/bin/sh"_qs, {u"-c"_qs, QString::fromUtf8(c.script)});
        std::optional<QString> failure;
        QObject::connect(&child, &RunnerChild::Ended,
                         [&](const auto&, const QString& why, int) { failure = why; });
        child.Start();
        ASSERT_TRUE(QTest::qWaitFor([&] { return failure.has_value(); }, 30'000)) << c.script;
        const QString start = QString::fromUtf8(c.failure_start);
        EXPECT_EQ(failure->left(start.size()), start) << c.script;
        EXPECT_EQ(failure->isEmpty(), *c.failure_start == 0) << c.script;
    }
}

}  // namespace
}  // namespace torvex::station
