// Lines of a kind: the first logged, the rest counted at the run's end, the count begun again.

#include <gtest/gtest.h>

#include "base/log_message.h"
#include "support/log_capture.h"

namespace varneth_test {
namespace {

TEST(LogMessageTest, RepeatsOfAKindAreCountedOnce)
{
    const LogCapture capture;
    Diagnostics lines;
    lines.ErrorCountingRepeats("read 1 failed: why", "more reads failed.");
    lines.Error("record 1 lost");
    lines.ErrorCountingRepeats("read 2 failed: why", "more reads failed.");
    for (int run = 0; run < 2; ++run) {
        LogDiagnostics(lines);
        LogDiagnostics(lines);
        LogCountedRepeats();
    }
    const char* run[] = {"read 1 failed: why", "record 1 lost", "record 1 lost", "3 more reads failed."};
    EXPECT_EQ(capture.Texts(), std::vector<wxString>({run[0], run[1], run[2], run[3], run[0], run[1], run[2], run[3]}));
}

}  // namespace
}  // namespace varneth_test
