#include <cstdint>
#include <limits>

#include <gtest/gtest.h>

#include "mft/byte_reader.h"

namespace {

constexpr std::uint64_t kHuge = std::numeric_limits<std::uint64_t>::max();

const unsigned char kBytes[] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A};

TEST(ByteReader, ReadsLittleEndianAtOffsets)
{
    ByteReader reader(kBytes, sizeof kBytes);
    EXPECT_EQ(reader.U8At(0), 0x01);
    EXPECT_EQ(reader.U16At(0), 0x0201);
    EXPECT_EQ(reader.U32At(1), 0x05040302u);
    EXPECT_EQ(reader.U48At(0), 0x060504030201ull);
    EXPECT_EQ(reader.U64At(2), 0x0A09080706050403ull);
    EXPECT_TRUE(reader.ok());
}

TEST(ByteReader, AReadPastTheEndReturnsZeroAndTheFailureSticks)
{
    ByteReader reader(kBytes, sizeof kBytes);
    EXPECT_EQ(reader.U16At(9), 0);  // one byte inside, one outside
    EXPECT_TRUE(reader.failed());
    EXPECT_EQ(reader.U8At(0), 0x01);  // later good reads still read
    EXPECT_TRUE(reader.failed());     // but the failure stays
}

TEST(ByteReader, OffsetsNearTheTopOfTheRangeDoNotWrapAround)
{
    ByteReader reader(kBytes, sizeof kBytes);
    EXPECT_EQ(reader.U64At(kHuge), 0u);
    EXPECT_EQ(reader.U64At(kHuge - 3), 0u);
    EXPECT_TRUE(reader.failed());
    EXPECT_FALSE(reader.Fits(kHuge, 2));
    EXPECT_FALSE(reader.Fits(2, kHuge));
    EXPECT_TRUE(reader.Fits(10, 0));
    EXPECT_FALSE(reader.Fits(11, 0));
}

TEST(ByteReader, SubReaderSeesOnlyItsRange)
{
    ByteReader reader(kBytes, sizeof kBytes);
    ByteReader sub = reader.SubReader(4, 4);
    EXPECT_EQ(sub.size(), 4u);
    EXPECT_EQ(sub.U32At(0), 0x08070605u);
    EXPECT_EQ(sub.U8At(4), 0);  // byte 8 of the parent is outside the sub-range
    EXPECT_TRUE(sub.failed());
    EXPECT_TRUE(reader.ok());
}

TEST(ByteReader, ASubReaderThatDoesNotFitFailsBothViews)
{
    ByteReader reader(kBytes, sizeof kBytes);
    ByteReader sub = reader.SubReader(8, 3);
    EXPECT_TRUE(sub.failed());
    EXPECT_EQ(sub.size(), 0u);
    EXPECT_TRUE(reader.failed());
    ByteReader wrapped = ByteReader(kBytes, sizeof kBytes).SubReader(kHuge, 2);
    EXPECT_TRUE(wrapped.failed());
}

TEST(ByteReader, ClampedSubReaderCutsAtTheEndWithoutFailing)
{
    ByteReader reader(kBytes, sizeof kBytes);
    EXPECT_EQ(reader.ClampedSubReader(6, 100).size(), 4u);
    EXPECT_EQ(reader.ClampedSubReader(6, 2).size(), 2u);
    EXPECT_EQ(reader.ClampedSubReader(10, 5).size(), 0u);
    EXPECT_EQ(reader.ClampedSubReader(kHuge, kHuge).size(), 0u);
    EXPECT_TRUE(reader.ok());
}

TEST(ByteReader, CopyBytesZeroFillsWhatDoesNotFit)
{
    ByteReader reader(kBytes, sizeof kBytes);
    unsigned char out[4] = {0xEE, 0xEE, 0xEE, 0xEE};
    EXPECT_TRUE(reader.CopyBytesAt(6, out, 4));
    EXPECT_EQ(out[0], 0x07);
    EXPECT_EQ(out[3], 0x0A);
    EXPECT_FALSE(reader.CopyBytesAt(7, out, 4));
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(out[3], 0);
    EXPECT_TRUE(reader.failed());
}

TEST(ByteReader, UnitsAreReadLittleEndianOrZeroFilledWhenTheyDoNotFit)
{
    ByteReader reader(kBytes, sizeof kBytes);
    std::uint16_t units[3] = {0xEEEE, 0xEEEE, 0xEEEE};
    EXPECT_TRUE(reader.U16sAt(3, units, 3));
    EXPECT_EQ(units[0], 0x0504);
    EXPECT_EQ(units[2], 0x0908);
    EXPECT_TRUE(reader.ok());
    EXPECT_FALSE(reader.U16sAt(5, units, 3));  // the last unit would take byte 10
    EXPECT_EQ(units[0], 0);
    EXPECT_EQ(units[2], 0);
    EXPECT_TRUE(reader.failed());
    EXPECT_FALSE(ByteReader(kBytes, sizeof kBytes).U16sAt(kHuge - 1, units, 1));  // an offset that would wrap
}

TEST(ByteReader, ANullOrDefaultViewIsEmpty)
{
    ByteReader null_view(nullptr, 1024);
    EXPECT_EQ(null_view.size(), 0u);
    EXPECT_EQ(null_view.U32At(0), 0u);
    EXPECT_TRUE(null_view.failed());
    ByteReader empty;
    EXPECT_EQ(empty.U8At(0), 0);
    EXPECT_TRUE(empty.failed());
}

TEST(ByteWriter, StoresLittleEndianInsideTheViewOnly)
{
    unsigned char bytes[4] = {0, 0, 0, 0};
    ByteWriter writer(bytes, sizeof bytes);
    EXPECT_TRUE(writer.PutU16At(2, 0xBEEF));
    EXPECT_EQ(bytes[2], 0xEF);
    EXPECT_EQ(bytes[3], 0xBE);
    EXPECT_EQ(writer.U16At(2), 0xBEEF);
    EXPECT_FALSE(writer.PutU16At(3, 0x1234));
    EXPECT_FALSE(writer.PutU16At(kHuge, 0x1234));
    EXPECT_EQ(bytes[3], 0xBE);
    EXPECT_TRUE(writer.failed());
}

}  // namespace
