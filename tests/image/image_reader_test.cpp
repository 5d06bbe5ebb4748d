// Reading images by offset: a file's runs laid out on an image (sparse runs,
// bytes never written, bytes no run covers, an image that ends inside a
// run), and split raw segments read as one image.

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "image/image_reader.h"
#include "image/mapped_stream.h"
#include "support/cli_runner.h"
#include "support/memory_image.h"

namespace varneth_test {
namespace {

// Bytes that tell their own offset: byte i is i mod 251.
Bytes Pattern(std::size_t size, std::size_t first = 0)
{
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<std::uint8_t>((first + i) % 251);
    }
    return bytes;
}

// What a read should give: pieces of the pattern at an offset, or zeros.
struct Piece {
    long long pattern_offset;  // -1: zeros
    std::size_t length;
};

Bytes Expected(const std::vector<Piece>& pieces)
{
    Bytes bytes;
    for (const Piece& piece : pieces) {
        const Bytes part = piece.pattern_offset < 0 ? Bytes(piece.length, 0)
                                                    : Pattern(piece.length, static_cast<std::size_t>(piece.pattern_offset));
        bytes.insert(bytes.end(), part.begin(), part.end());
    }
    return bytes;
}

// Reads length bytes at offset; the bytes read, or a failure.
::testing::AssertionResult ReadsAs(const ImageReader& reader, std::uint64_t offset, std::size_t length,
                                   const Bytes& expected)
{
    Bytes out(length, 0xEE);
    Diagnostics diagnostics;
    const long long got = reader.ReadAt(offset, out.data(), out.size(), diagnostics);
    if (got < 0) {
        return ::testing::AssertionFailure() << "the read failed";
    }
    out.resize(static_cast<std::size_t>(got));
    if (out != expected) {
        return ::testing::AssertionFailure() << "read " << got << " bytes, expected " << expected.size()
                                             << (out.size() == expected.size() ? " (other bytes)" : "");
    }
    return ::testing::AssertionSuccess();
}

TEST(MappedStreamTest, ReadsTheFileThroughItsRuns)
{
    // A file of 300 bytes, 280 of them written: 100 at image byte 1000, 50
    // sparse, 100 at image byte 4046 of which the image holds 50, and 50
    // that no run covers.
    const auto image = std::make_shared<MemoryImage>(Pattern(4096));
    const MappedStream stream(image, {{0, 100, false, 1000}, {100, 50, true, 0}, {150, 100, false, 4046}}, 300, 280);
    const struct {
        const char* label;
        std::uint64_t offset;
        std::size_t length;
        std::vector<Piece> expected;
    } cases[] = {
        {"one run", 0, 100, {{1000, 100}}},
        {"into a sparse run", 90, 20, {{1090, 10}, {-1, 10}}},
        {"out of a sparse run", 140, 30, {{-1, 10}, {4046, 20}}},
        {"to where the image ends inside a run", 190, 30, {{4086, 10}}},
        {"a run past the image's end", 210, 10, {}},
        {"bytes no run covers", 260, 5, {}},
        {"past the written bytes, to the end", 280, 100, {{-1, 20}}},
        {"at the end", 300, 10, {}},
        {"far past the end", ~std::uint64_t{0} - 5, 10, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_TRUE(ReadsAs(stream, c.offset, c.length, Expected(c.expected)));
    }
}

TEST(SplitImageTest, ReadsAcrossSegments)
{
    // Segments of 100, 0, 50 and 80 bytes: one pattern of 230.
    TempDir dir;
    const std::size_t sizes[] = {100, 0, 50, 80};
    SplitImage split;
    std::size_t start = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        const std::string name = dir.File("disk.00" + std::to_string(i + 1));
        const Bytes bytes = Pattern(sizes[i], start);
        WriteFile(name, std::string(bytes.begin(), bytes.end()));
        Diagnostics diagnostics;
        std::unique_ptr<FileImage> segment = OpenFileImage(name, diagnostics);
        ASSERT_TRUE(segment);
        split.AddSegment(std::move(segment));
        start += sizes[i];
    }
    ASSERT_EQ(split.Size(), 230u);
    EXPECT_TRUE(ReadsAs(split, 0, 230, Pattern(230)));
    EXPECT_TRUE(ReadsAs(split, 90, 20, Pattern(20, 90)));    // over the empty segment
    EXPECT_TRUE(ReadsAs(split, 149, 2, Pattern(2, 149)));
    EXPECT_TRUE(ReadsAs(split, 140, 100, Pattern(90, 140)));  // to the end
    EXPECT_TRUE(ReadsAs(split, 230, 1, {}));
    // A segment that shrank since it was measured ends the read there: the
    // bytes after it are not the ones asked for.
    ASSERT_EQ(truncate(dir.File("disk.003").c_str(), 10), 0);
    EXPECT_TRUE(ReadsAs(split, 95, 100, Pattern(15, 95)));
}

}  // namespace
}  // namespace varneth_test
