// The writer of the report and the body file: every byte handed to it
// reaches the file, and its copy, in order; and once forced to the disk the
// report's pages leave the system's cache, so a report of millions of rows
// does not crowd out the examiner's other files (and the system reuses the
// same few pages for it).

#include <gtest/gtest.h>

#include <sys/mman.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include "base/output_file.h"
#include "support/cli_runner.h"

using namespace varneth_test;

namespace {

constexpr long kTmpfsMagic = 0x01021994;

// One byte per page of the file: resident in the page cache or not.
std::vector<unsigned char> ResidentPages(const std::string& path, std::size_t length)
{
    std::vector<unsigned char> pages;
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return pages;
    }
    void* map = mmap(nullptr, length, PROT_READ, MAP_SHARED, fileno(file), 0);
    if (map != MAP_FAILED) {
        const long page = sysconf(_SC_PAGESIZE);
        pages.resize((length + page - 1) / page);
        if (mincore(map, length, pages.data()) != 0) {
            pages.clear();
        }
        munmap(map, length);
    }
    std::fclose(file);
    return pages;
}

std::string Line(int n)
{
    return "row " + std::to_string(n) + "\t" + std::string(200, static_cast<char>('a' + n % 26)) + "\n";
}

// Collects the writer's copy; hands what it got to `kept` when it goes.
class CollectingSink final : public ByteSink {
public:
    explicit CollectingSink(std::string& kept) : kept_(kept) {}
    ~CollectingSink() override { kept_ = bytes_; }
    void Add(const char* bytes, std::size_t size) override { bytes_.append(bytes, size); }

private:
    std::string bytes_;
    std::string& kept_;
};

}  // namespace

// Bytes arrive in order across buffer fills, pieces too large to buffer,
// forced flushes and flushes left to the disk in the background. The copy
// belongs to the writer: it takes the last flush, made when the writer goes
// without a Close (an early return), and only then goes too.
TEST(OutputFileTest, FileAndCopyGetEveryByteUpToTheLastFlushOfTheDestructor)
{
    TempDir dir;
    const std::string path = dir.File("report.txt");
    std::string expected = "header\n";
    std::string copied = "<copy never destroyed>";
    {
        OutputFile writer;
        ASSERT_TRUE(writer.Open(path));
        writer.CopyTo(std::make_unique<CollectingSink>(copied));
        ASSERT_TRUE(writer.Write(expected));
        for (int n = 0; expected.size() < (std::size_t{3} << 20) + 5; ++n) {
            writer.Bytes() += Line(n);
            expected += Line(n);
            ASSERT_TRUE(writer.LineDone());
            if (n % 7000 == 0) {
                ASSERT_TRUE(writer.FlushToDisk());
            }
            if (n % 5000 == 2500) {
                const std::string large(300000, static_cast<char>('A' + n % 26));
                ASSERT_TRUE(writer.Write(large));
                expected += large;
                ASSERT_TRUE(writer.WriteBackInBackground());
            }
        }
    }
    EXPECT_EQ(ReadFile(path), expected);
    EXPECT_TRUE(copied == expected) << copied.size() << " bytes copied of " << expected.size();
}

// Pages forced to the disk leave the cache at once; pages sent to it in the
// background leave it at the next such call, which waits for them first.
TEST(OutputFileTest, PagesOnTheDiskLeaveTheCache)
{
    TempDir dir;
    struct statfs fs {};
    ASSERT_EQ(statfs(dir.path().c_str(), &fs), 0);
    if (static_cast<long>(fs.f_type) == kTmpfsMagic) {
        GTEST_SKIP() << "a memory file system keeps every page it has";
    }
    for (const bool background : {false, true}) {
        const std::string label = background ? "in the background" : "forced";
        const std::string path = dir.File(label + ".txt");
        OutputFile writer;
        ASSERT_TRUE(writer.Open(path));
        std::size_t sent = 0;
        for (int n = 0; sent < (std::size_t{4} << 20); ++n) {
            writer.Bytes() += Line(n);
            sent += Line(n).size();
            ASSERT_TRUE(writer.LineDone());
        }
        ASSERT_TRUE(background ? writer.WriteBackInBackground() : writer.FlushToDisk());
        // Written after: still cached (sent to the disk at most).
        const std::string tail = Line(1) + Line(2);
        writer.Bytes() += tail;
        ASSERT_TRUE(writer.LineDone());
        ASSERT_TRUE(background ? writer.WriteBackInBackground() : writer.Flush());

        const std::vector<unsigned char> pages = ResidentPages(path, sent + tail.size());
        ASSERT_FALSE(pages.empty()) << label;
        const long page = sysconf(_SC_PAGESIZE);
        std::size_t resident_before = 0;
        for (std::size_t i = 0; i + 1 < sent / page; ++i) {
            resident_before += pages[i] & 1;
        }
        EXPECT_EQ(resident_before, 0u) << label << ": of " << sent / page << " pages on the disk";
        EXPECT_EQ(pages.back() & 1, 1) << label << ": the tail was dropped";
        ASSERT_TRUE(writer.Close());
        EXPECT_EQ(ReadFile(path).size(), sent + tail.size()) << label;
    }
}
