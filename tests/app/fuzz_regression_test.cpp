// Every input that once broke a fuzz target, and every seed the targets start
// from (fuzz/seeds.h), replayed through the very entry that target uses
// (fuzz/entries/), in the normal build: a fixed crash, hang or broken promise
// can never come back unnoticed. The regression files live in
// fuzz/regression/TARGET/. CI runs this test under AddressSanitizer and under
// ThreadSanitizer, so the whole-run entry's threaded record loop meets every
// seed in every run mode there.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "fuzz/entries/image_entry.h"
#include "fuzz/entries/number_entry.h"
#include "fuzz/entries/record_entry.h"
#include "fuzz/entries/run_entry.h"
#include "fuzz/seeds.h"
#include "support/cli_runner.h"
#include "support/record_builder.h"
#include "support/volume_builder.h"

using namespace varneth_test;

namespace {

using Entry = std::function<std::string(const std::uint8_t*, std::size_t)>;

// The fuzzer's limit is one second; sanitizer builds get room to spare.
constexpr auto kTimeLimit = std::chrono::seconds(10);

// Standard output goes to a memfd while it lives (the whole-run entry
// prints progress lines and name lists, and checks them when handed the
// descriptor); /dev/null where there is no memfd.
class QuietStdout {
public:
    QuietStdout() : saved_(dup(STDOUT_FILENO))
    {
        std::fflush(stdout);
        int sink = memfd_create("varneth-test-console", MFD_CLOEXEC);
        caught_ = sink >= 0;
        if (sink < 0) {
            sink = open("/dev/null", O_WRONLY | O_CLOEXEC);
        }
        if (sink >= 0) {
            dup2(sink, STDOUT_FILENO);
            close(sink);
        }
    }
    // The descriptor to hand the entry, or -1.
    int Console() const { return caught_ ? STDOUT_FILENO : -1; }
    ~QuietStdout()
    {
        std::fflush(stdout);
        dup2(saved_, STDOUT_FILENO);
        close(saved_);
    }
    QuietStdout(const QuietStdout&) = delete;
    QuietStdout& operator=(const QuietStdout&) = delete;

private:
    int saved_;
    bool caught_ = false;
};

// Replays one input; the finding is empty when every promise held.
void Replay(const Entry& entry, const std::string& label, const std::string& bytes)
{
    const auto started = std::chrono::steady_clock::now();
    const std::string finding = entry(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    const auto took = std::chrono::steady_clock::now() - started;
    EXPECT_EQ(finding, "") << label;
    EXPECT_LT(took, kTimeLimit) << label;
}

// The fixed inputs, so that each entry is seen to run even where no input has
// been committed yet, the seeds, then the committed inputs.
void ReplayAll(const std::string& target, const Entry& entry, const std::vector<std::string>& fixed_inputs,
               const std::vector<fuzz_seeds::Seed>& seeds)
{
    for (const std::string& bytes : fixed_inputs) {
        Replay(entry, "fixed input of " + std::to_string(bytes.size()) + " bytes", bytes);
    }
    for (const fuzz_seeds::Seed& seed : seeds) {
        Replay(entry, "seed " + seed.name, seed.bytes);
    }
    const std::filesystem::path dir = std::filesystem::path(VARNETH_SOURCE_DIR) / "fuzz" / "regression" / target;
    std::error_code ignored;
    for (const auto& file : std::filesystem::directory_iterator(dir, ignored)) {
        if (file.is_regular_file()) {
            Replay(entry, target + "/" + file.path().filename().string(), ReadFile(file.path().string()));
        }
    }
}

std::string SampleRecords(std::size_t count)
{
    return ReadFile(std::string(VARNETH_SOURCE_DIR) + "/samples/sample.mft").substr(0, count * 1024);
}

// The system records in 4096-byte records, the first count of them.
std::string LargeSystemRecords(std::size_t count)
{
    const Bytes bytes = SystemRecords(kLargeRecordSize).bytes();
    return std::string(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(count * kLargeRecordSize));
}

TEST(FuzzRegression, RecordTargetInputs)
{
    ASSERT_EQ(static_cast<std::size_t>(fuzz_seeds::kRecordChoices), fuzz_entry::kFormats * 2);
    ReplayAll("fuzz_record", fuzz_entry::FuzzRecords,
              {std::string(), std::string(1024, '\xFF'), SampleRecords(16), LargeSystemRecords(4)},
              fuzz_seeds::RecordSeeds());
}

TEST(FuzzRegression, NumberFormatterTargetInputs)
{
    ReplayAll("fuzz_number_formatter", fuzz_entry::FuzzNumberStyle,
              {std::string(), std::string("[,###]\0" "18446744073709551615", 27)}, fuzz_seeds::NumberSeeds());
}

TEST(FuzzRegression, WholeRunTargetInputs)
{
    ASSERT_EQ(static_cast<std::size_t>(fuzz_seeds::kRunModes), fuzz_entry::RunModes().size());
    ASSERT_EQ(fuzz_seeds::kRunFaults, static_cast<int>(fuzz_entry::Fault::kJsonUnopenable));
    TempDir scratch;
    const Entry entry = [&scratch](const std::uint8_t* data, std::size_t size) {
        QuietStdout quiet;
        return fuzz_entry::FuzzWholeRun(data, size, scratch.path(), quiet.Console());
    };
    ReplayAll("fuzz_run", entry, {std::string(), SampleRecords(32), LargeSystemRecords(8)}, fuzz_seeds::RunSeeds());
}

TEST(FuzzRegression, ImageRunTargetInputs)
{
    TempDir scratch;
    const Entry entry = [&scratch](const std::uint8_t* data, std::size_t size) {
        QuietStdout quiet;
        return fuzz_entry::FuzzImageRun(data, size, scratch.path(), quiet.Console());
    };
    // A boot sector alone: a volume whose $MFT lies past the image.
    const Bytes boot_sector = BootSectorBytes(BootFields());
    ReplayAll("fuzz_image", entry, {std::string(), std::string(boot_sector.begin(), boot_sector.end())},
              fuzz_seeds::ImageSeeds());
}

}  // namespace
