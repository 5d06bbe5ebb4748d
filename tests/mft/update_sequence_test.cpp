#include <gtest/gtest.h>
#include <wx/log.h>

#include "mft/update_sequence.h"
#include "support/log_capture.h"
#include "support/record_builder.h"

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

    LogCapture log;
    EXPECT_EQ(WriteFixupValues(record.data()), 0);
    EXPECT_EQ(record, expected);
    EXPECT_TRUE(log.lines().empty());
}

TEST(WriteFixupValues, TheCountOnlyHasToBeNonZero)
{
    for (std::uint16_t count : {1, 3, 5, 0xFFFF}) {
        Bytes record = ProtectedRecord(count);
        EXPECT_EQ(WriteFixupValues(record.data()), 0) << count;
        EXPECT_EQ(GetLE(record, 510, 2), 0xA1A2u) << count;
        EXPECT_EQ(GetLE(record, 1022, 2), 0xB1B2u) << count;
    }
}

struct Refusal {
    const char* what;
    void (*spoil)(Bytes&);
    const char* message;
};

const Refusal kRefusals[] = {
    {"array offset 0", [](Bytes& r) { PutLE(r, 4, 0, 2); },
     "WriteFixupValues() - signature offset to fixup array is not valid."},
    // The array's three words must lie inside the record: 1018 is the last
    // offset that allows it, anything above is refused like offset 0.
    {"array offset 1019", [](Bytes& r) { PutLE(r, 4, 1019, 2); },
     "WriteFixupValues() - signature offset to fixup array is not valid."},
    {"array offset 1023", [](Bytes& r) { PutLE(r, 4, 1023, 2); },
     "WriteFixupValues() - signature offset to fixup array is not valid."},
    {"array offset 0xFFFF", [](Bytes& r) { PutLE(r, 4, 0xFFFF, 2); },
     "WriteFixupValues() - signature offset to fixup array is not valid."},
    {"count 0", [](Bytes& r) { PutLE(r, 6, 0, 2); }, "WriteFixupValues() - signature count is not valid."},
    {"sequence number 0",
     [](Bytes& r) {
         PutLE(r, 0x30, 0, 2);
         PutLE(r, 510, 0, 2);
         PutLE(r, 1022, 0, 2);
     },
     "WriteFixupValues() - signature value is not correct."},
    {"first sector end differs", [](Bytes& r) { PutLE(r, 510, 0x0002, 2); },
     "WriteFixupValues() - fixup signatures do not match."},
    {"second sector end differs", [](Bytes& r) { PutLE(r, 1022, 0x0100, 2); },
     "WriteFixupValues() - fixup signatures do not match."},
};

TEST(WriteFixupValues, RefusesWithOneLineAndLeavesTheBufferAlone)
{
    for (const Refusal& refusal : kRefusals) {
        Bytes record = ProtectedRecord();
        refusal.spoil(record);
        const Bytes before = record;
        LogCapture log;
        EXPECT_EQ(WriteFixupValues(record.data()), -1) << refusal.what;
        EXPECT_EQ(record, before) << refusal.what;
        ASSERT_EQ(log.lines().size(), 1u) << refusal.what;
        EXPECT_EQ(log.lines()[0].level, wxLOG_Error);
        EXPECT_EQ(log.lines()[0].text, refusal.message) << refusal.what;
    }
}

TEST(WriteFixupValues, AnAllZeroRecordFailsAtTheArrayOffset)
{
    Bytes record(kRecordSize, 0);
    LogCapture log;
    EXPECT_EQ(WriteFixupValues(record.data()), -1);
    ASSERT_EQ(log.Texts().size(), 1u);
    EXPECT_EQ(log.Texts()[0], "WriteFixupValues() - signature offset to fixup array is not valid.");
}

TEST(WriteFixupValues, ASecondApplicationFailsUnlessTheSavedWordsEqualTheNumber)
{
    Bytes record = ProtectedRecord();
    ASSERT_EQ(WriteFixupValues(record.data()), 0);
    LogCapture log;
    EXPECT_EQ(WriteFixupValues(record.data()), -1);
    ASSERT_EQ(log.Texts().size(), 1u);
    EXPECT_EQ(log.Texts()[0], "WriteFixupValues() - fixup signatures do not match.");

    Bytes same = RecordBuilder().BuildUnprotected();
    PutLE(same, 510, 0x0001, 2);
    PutLE(same, 1022, 0x0001, 2);
    ProtectWithUpdateSequence(same);
    EXPECT_EQ(WriteFixupValues(same.data()), 0);
    EXPECT_EQ(WriteFixupValues(same.data()), 0);
}

TEST(WriteFixupValues, TheLastAllowedArrayOffsetWorks)
{
    // Array at 1018: the number at 1018, saved words at 1020 and 1022 (the
    // second overlaps the sector end itself and so holds the number).
    Bytes record(kRecordSize, 0);
    PutLE(record, 4, 1018, 2);
    PutLE(record, 6, 3, 2);
    PutLE(record, 1018, 0x0007, 2);
    PutLE(record, 1020, 0xABCD, 2);
    PutLE(record, 510, 0x0007, 2);
    PutLE(record, 1022, 0x0007, 2);
    EXPECT_EQ(WriteFixupValues(record.data()), 0);
    EXPECT_EQ(GetLE(record, 510, 2), 0xABCDu);
    EXPECT_EQ(GetLE(record, 1022, 2), 0x0007u);
}

TEST(WriteFixupValues, BothSavedWordsAreTakenBeforeEitherIsWritten)
{
    // Array at 506: its second saved word is the first sector end itself.
    Bytes record(kRecordSize, 0);
    PutLE(record, 4, 506, 2);
    PutLE(record, 6, 3, 2);
    PutLE(record, 506, 0x0009, 2);
    PutLE(record, 508, 0x1111, 2);
    PutLE(record, 510, 0x0009, 2);
    PutLE(record, 1022, 0x0009, 2);
    EXPECT_EQ(WriteFixupValues(record.data()), 0);
    EXPECT_EQ(GetLE(record, 510, 2), 0x1111u);
    EXPECT_EQ(GetLE(record, 1022, 2), 0x0009u);
}

TEST(WriteFixupValues, ANullBufferIsRefused)
{
    LogCapture log;
    EXPECT_EQ(WriteFixupValues(nullptr), -1);
    ASSERT_EQ(log.Texts().size(), 1u);
    EXPECT_EQ(log.Texts()[0], "WriteFixupValues() - mft_rec_buf is NULL.");
}

}  // namespace
}  // namespace varneth_test
