#include <gtest/gtest.h>
#include <wx/log.h>

#include "decoding_test_support.h"
#include "mft/update_sequence.h"

namespace varneth_test {
namespace {

// A record whose sector ends hold 0xA1A2 and 0xB1B2 before protection.
Bytes ProtectedRecord(std::uint16_t usa_count = 3)
{
    Bytes record = RecordBuilder().UsaCount(usa_count).StandardInformation(Times::All(kSomeFiletime)).BuildUnprotected();
    PutLE(record, 510, 0xA1A2, 2);
    PutLE(record, 1022, 0xB1B2, 2);
    ProtectWithUpdateSequence(record);
    return record;
}

TEST(WriteFixupValues, PutsTheSavedWordsBackAndChangesNothingElse)
{
    Bytes record = ProtectedRecord();
    ASSERT_EQ(GetLE(record, 510, 2), 0x0001u);
    Bytes expected = record;
    PutLE(expected, 510, 0xA1A2, 2);
    PutLE(expected, 1022, 0xB1B2, 2);

    Diagnostics diagnostics;
    EXPECT_EQ(WriteFixupValues(record.data(), diagnostics), 0);
    EXPECT_EQ(record, expected);
    EXPECT_TRUE(diagnostics.empty());
}

TEST(WriteFixupValues, TheCountOnlyHasToBeNonZero)
{
    Diagnostics diagnostics;
    for (std::uint16_t count : {1, 3, 5, 0xFFFF}) {
        Bytes record = ProtectedRecord(count);
        EXPECT_EQ(WriteFixupValues(record.data(), diagnostics), 0) << count;
        EXPECT_EQ(GetLE(record, 510, 2), 0xA1A2u) << count;
        EXPECT_EQ(GetLE(record, 1022, 2), 0xB1B2u) << count;
    }
}

const char* const kBadOffset = "WriteFixupValues() - signature offset to fixup array is not valid.";
const char* const kMismatch = "WriteFixupValues() - fixup signatures do not match.";

struct Refusal {
    const char* what;
    void (*spoil)(Bytes&);
    const char* message;
};

const Refusal kRefusals[] = {
    {"array offset 0", [](Bytes& r) { PutLE(r, 4, 0, 2); }, kBadOffset},
    // The array's three words must lie inside the record: 1018 is the last
    // offset that allows it, anything above is refused like offset 0.
    {"array offset 1019", [](Bytes& r) { PutLE(r, 4, 1019, 2); }, kBadOffset},
    {"array offset 1023", [](Bytes& r) { PutLE(r, 4, 1023, 2); }, kBadOffset},
    {"array offset 0xFFFF", [](Bytes& r) { PutLE(r, 4, 0xFFFF, 2); }, kBadOffset},
    {"all-zero record", [](Bytes& r) { r.assign(kRecordSize, 0); }, kBadOffset},
    {"count 0", [](Bytes& r) { PutLE(r, 6, 0, 2); }, "WriteFixupValues() - signature count is not valid."},
    {"sequence number 0",
     [](Bytes& r) {
         PutLE(r, 0x30, 0, 2);
         PutLE(r, 510, 0, 2);
         PutLE(r, 1022, 0, 2);
     },
     "WriteFixupValues() - signature value is not correct."},
    {"first sector end differs", [](Bytes& r) { PutLE(r, 510, 0x0002, 2); }, kMismatch},
    {"second sector end differs", [](Bytes& r) { PutLE(r, 1022, 0x0100, 2); }, kMismatch},
};

TEST(WriteFixupValues, RefusesWithOneLineAndLeavesTheBufferAlone)
{
    for (const Refusal& refusal : kRefusals) {
        Bytes record = ProtectedRecord();
        refusal.spoil(record);
        const Bytes before = record;
        Diagnostics diagnostics;
        EXPECT_EQ(WriteFixupValues(record.data(), diagnostics), -1) << refusal.what;
        EXPECT_EQ(record, before) << refusal.what;
        ASSERT_EQ(diagnostics.size(), 1u) << refusal.what;
        EXPECT_EQ(diagnostics[0].level, DiagnosticLevel::kError);
        EXPECT_EQ(diagnostics[0].text, refusal.message) << refusal.what;
    }
}

TEST(WriteFixupValues, ASecondApplicationFailsUnlessTheSavedWordsEqualTheNumber)
{
    Diagnostics diagnostics;
    Bytes record = ProtectedRecord();
    ASSERT_EQ(WriteFixupValues(record.data(), diagnostics), 0);
    ExpectRefusal([&](Diagnostics& diagnostics) { return WriteFixupValues(record.data(), diagnostics); }, kMismatch);

    Bytes same = RecordBuilder().BuildUnprotected();
    PutLE(same, 510, 0x0001, 2);
    PutLE(same, 1022, 0x0001, 2);
    ProtectWithUpdateSequence(same);
    EXPECT_EQ(WriteFixupValues(same.data(), diagnostics), 0);
    EXPECT_EQ(WriteFixupValues(same.data(), diagnostics), 0);
}

// An array whose second saved word is a sector end (which holds the number)
// still yields the words it held: both are taken before either is written.
TEST(WriteFixupValues, AnArrayOverlappingASectorEnd)
{
    Diagnostics diagnostics;
    struct Case {
        std::uint16_t usa_offset;
        std::uint16_t usn;
        std::uint16_t first_saved;
    };
    const Case cases[] = {
        {1018, 0x0007, 0xABCD},  // the last allowed offset: second word at 1022
        {506, 0x0009, 0x1111},   // second word at 510
    };
    for (const Case& c : cases) {
        Bytes record(kRecordSize, 0);
        PutLE(record, 4, c.usa_offset, 2);
        PutLE(record, 6, 3, 2);
        PutLE(record, c.usa_offset, c.usn, 2);
        PutLE(record, c.usa_offset + 2, c.first_saved, 2);
        PutLE(record, 510, c.usn, 2);
        PutLE(record, 1022, c.usn, 2);
        EXPECT_EQ(WriteFixupValues(record.data(), diagnostics), 0) << c.usa_offset;
        EXPECT_EQ(GetLE(record, 510, 2), c.first_saved) << c.usa_offset;
        EXPECT_EQ(GetLE(record, 1022, 2), c.usn) << c.usa_offset;
    }
}

TEST(WriteFixupValues, ANullBufferIsRefused)
{
    ExpectRefusal([](Diagnostics& diagnostics) { return WriteFixupValues(nullptr, diagnostics); },
                  "WriteFixupValues() - mft_rec_buf is NULL.");
}

}  // namespace
}  // namespace varneth_test
