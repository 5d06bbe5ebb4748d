// The command line as a user meets it: the built binary, run in a scratch
// directory, with its exit status, standard output and standard error.

#include <gtest/gtest.h>

#include <filesystem>

#include "support/cli_runner.h"
#include "support/record_builder.h"

using namespace varneth_test;

namespace {

const char* const kRule = "-------------------------------------------------------------\n";

std::string ExpectedBanner()
{
    return std::string("\n\n") + kRule +
           "--              Varneth - $MFT Dump Tool                   --\n"
           "--                  Version: V.3.1.0                       --\n" +
           kRule +
           "--           Use this tool at your own risk                --\n"
           "--                    NO WARRANTY!                         --\n" +
           kRule;
}

class CommandLineTest : public ::testing::Test {
protected:
    void SetUp() override { SystemRecords().WriteTo(dir_.File("in.mft")); }

    RunResult Run(const std::vector<std::string>& args) { return RunVarnethIn(dir_, args); }

    TempDir dir_;
};

TEST_F(CommandLineTest, VersionPrintsOnlyTheBannerWithoutLookingAtTheFile)
{
    const RunResult result = Run({"-V", "missing.mft"});
    EXPECT_EQ(result.exit_status, 255);
    EXPECT_EQ(result.out, ExpectedBanner());
    EXPECT_EQ(result.err, "");
    for (const std::string& line : SplitLines(result.out)) {
        EXPECT_TRUE(line.empty() || line.size() == 61) << line;
    }
    EXPECT_EQ(Run({"--version"}).out, ExpectedBanner());
}

TEST_F(CommandLineTest, HelpShowsTheUsageWithTheBannerAndEveryEntryInOrder)
{
    const RunResult result = Run({"-h", "-V"});
    EXPECT_EQ(result.exit_status, 255);
    EXPECT_EQ(result.out, "");
    const std::string& usage = result.err;
    EXPECT_EQ(usage.find(ExpectedBanner()), 0u);
    EXPECT_NE(usage.find("[$MFT File]"), std::string::npos);
    const char* const descriptions[] = {
        "Dump ADS's to stdout", "Body file for timeline tools (Default: none)", "Create debug log", "Dump filenames to stdout", "Display this notice",
        "Use long output format", "Hostname (Default: localhost)",
        "Output file (Default: varneth_hostname.txt)", "Use short output format", "Chatty output",
        "Show version and exit", "Zip output file\n\n"};
    std::size_t previous = 0;
    for (const char* description : descriptions) {
        const std::size_t at = usage.find(description);
        ASSERT_NE(at, std::string::npos) << description;
        EXPECT_GT(at, previous) << description;
        previous = at;
    }
}

struct RefusalCase {
    std::vector<std::string> args;
    std::string printed;  // standard output, exactly
};

// A broken rule is printed before the usage; the parser's own errors print
// nothing but the usage.
TEST_F(CommandLineTest, RefusedCommandLinesPrintTheirRuleAndTheUsage)
{
    const std::string kBadOffset =
        "\n--offset takes the byte offset where an NTFS volume starts in an image, a number from 0.\n";
    const RefusalCase cases[] = {
        {{}, "\nNo $MFT filename provided.\n"},
        {{"missing.mft"}, "$MFT file missing.mft does not exist.\n"},
        {{"100%s%d.mft"}, "$MFT file 100%s%d.mft does not exist.\n"},
        {{"-p", "1", "-p", "2", "in.mft"},
         "\nOption -p is given more than once: each option that takes a value is given once.\n"},
        {{"--output=a.txt", "-o", "b.txt", "in.mft"},
         "\nOption -o is given more than once: each option that takes a value is given once.\n"},
        {{"-a", "-v", "in.mft"}, "\n/a Dump ADS cannot be used with any other switches.\n"},
        {{"-a", "-f", "in.mft"}, "\n/a Dump ADS cannot be used with any other switches.\n"},
        {{"-a", "-m", "WS01", "in.mft"}, "\n/a Dump ADS cannot be used with any other switches.\n"},
        {{"-f", "-o", "x.txt", "in.mft"}, "\n/f Dump filenames cannot be used with any other switches.\n"},
        {{"-f", "-z", "in.mft"}, "\n/f Dump filenames cannot be used with any other switches.\n"},
        {{"-f", "-b", "t.body", "in.mft"}, "\n/f Dump filenames cannot be used with any other switches.\n"},
        {{"-a", "--bodyfile=t.body", "in.mft"}, "\n/a Dump ADS cannot be used with any other switches.\n"},
        {{"-b"}, ""},
        {{"-l", "-s", "in.mft"}, "\n/s Short format and /l long format is ambiguous.\n"},
        {{"--long", "--short", "in.mft"}, "\n/s Short format and /l long format is ambiguous.\n"},
        {{"--offset", "-5", "in.mft"}, kBadOffset},
        {{"-p", "1", "--offset", "0", "in.mft"}, "\n-p and --offset both choose the volume to read: give one of them.\n"},
        {{"-x", "in.mft"}, ""},
        {{"in.mft", "second.mft"}, ""},
        {{"-o"}, ""},
        {{"-V-"}, ""},
    };
    for (const RefusalCase& c : cases) {
        const RunResult result = Run(c.args);
        const std::string label = c.args.empty() ? "(none)" : c.args[0] + " ...";
        EXPECT_EQ(result.exit_status, 255) << label;
        EXPECT_EQ(result.out, c.printed) << label;
        EXPECT_NE(result.err.find("Usage:"), std::string::npos) << label;
    }
}

TEST_F(CommandLineTest, HostnameNamesTheReportUnlessOutputIsGiven)
{
    EXPECT_EQ(Run({"-m", "WS01", "in.mft"}).exit_status, 0);
    EXPECT_TRUE(FileExists(dir_.File("varneth_WS01.txt")));
    EXPECT_FALSE(FileExists(dir_.File("varneth_localhost.txt")));

    EXPECT_EQ(Run({"--hostname=WS02", "-o", "out.tsv", "in.mft"}).exit_status, 0);
    EXPECT_TRUE(FileExists(dir_.File("out.tsv")));
    EXPECT_FALSE(FileExists(dir_.File("varneth_WS02.txt")));
}

TEST_F(CommandLineTest, LongAndShortCombineWithEverythingButEachOther)
{
    const RunResult result = Run({"-l", "-z", "-d", "-v", "in.mft"});
    EXPECT_EQ(result.exit_status, 0) << result.out;
    EXPECT_EQ(Run({"-s", "-m", "H", "-o", "s.txt", "in.mft"}).exit_status, 0);
}

TEST_F(CommandLineTest, AnAbsolutePathIsTheParameterNotASwitch)
{
    const RunResult result = Run({dir_.File("in.mft")});
    EXPECT_EQ(result.exit_status, 0) << result.out << result.err;
}

}  // namespace
