// The unnamed file's fallback, for file systems that make no file without a
// name: a named file whose name is gone at once, which reads back what was
// written.

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <iterator>

#include "base/platform.h"
#include "support/cli_runner.h"

using namespace varneth_test;

TEST(PlatformTest, UnlinkedFileLeavesNoNameAndReadsBack)
{
    TempDir dir;
    const int fd = platform::OpenUnlinkedFile(wxString::FromUTF8(dir.path()));
    ASSERT_GE(fd, 0);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 0);
    ASSERT_EQ(write(fd, "draft", 5), 5);
    char back[8] = {};
    EXPECT_EQ(platform::ReadAt(fd, back, sizeof back, 1), 4);
    EXPECT_STREQ(back, "raft");
    close(fd);
    EXPECT_EQ(platform::OpenUnlinkedFile(wxString::FromUTF8(dir.File("missing"))), -1);
}
