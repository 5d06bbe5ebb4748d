// Damaged records: whatever the bytes, decoding stays inside the 1024-byte
// buffer (the sanitizer build checks every access), never loops without end
// and never keeps more headers than the visit limit allows.

#include <memory>
#include <random>

#include <gtest/gtest.h>

#include "mft/mft_file_record.h"
#include "mft/record_construction.h"
#include "base/diagnostics.h"
#include "support/record_builder.h"

namespace varneth_test {
namespace {

Bytes Template()
{
    return RecordBuilder()
        .StandardInformation(Times::All(kSomeFiletime))
        .FileName(u"Long File Name.txt", kWin32, 7)
        .FileName(u"LONGFI~1.TXT", kDos, 7)
        .ResidentAttribute(kTypeIndexRoot, Bytes(32, 1), u"$I30")
        .NonResidentData(8072, 8192, u"ads")
        .ResidentData(40, u"Zone.Identifier")
        .BuildUnprotected();
}

void DecodeDamaged(const Bytes& damaged, MFTFileRecord& record)
{
    // An exact 1024-byte heap block, so that any read past it is caught.
    std::unique_ptr<unsigned char[]> buffer(new unsigned char[kRecordSize]);
    std::copy(damaged.begin(), damaged.end(), buffer.get());
    record.Clear();
    Diagnostics diagnostics;
    CreateMFTFileRecord(buffer.get(), &record, 1, diagnostics);
    const std::size_t limit = GetLE(damaged, 40, 2);
    ASSERT_LE(record.attr_header_array.size(), limit);
    ASSERT_LE(record.file_name_array.size() + record.data_attr_array.size(), record.attr_header_array.size());
}

TEST(DamagedRecords, RandomByteChangesAreDecodedSafely)
{
    const Bytes clean = Template();
    std::mt19937 random(7);
    MFTFileRecord record;
    for (int round = 0; round < 20000; ++round) {
        Bytes damaged = clean;
        const int changes = 1 + static_cast<int>(random() % 8);
        for (int i = 0; i < changes; ++i) {
            const std::size_t at = random() % (round % 2 ? 0x200 : kRecordSize);
            damaged[at] = static_cast<std::uint8_t>(random());
        }
        ProtectWithUpdateSequence(damaged);
        DecodeDamaged(damaged, record);
    }
}

TEST(DamagedRecords, EveryFieldAtItsExtremes)
{
    const Bytes clean = Template();
    MFTFileRecord record;
    for (std::size_t at = 0; at < 0x200; ++at) {
        for (std::uint8_t value : {0x00, 0x01, 0x7F, 0x80, 0xFE, 0xFF}) {
            Bytes damaged = clean;
            damaged[at] = value;
            ProtectWithUpdateSequence(damaged);
            DecodeDamaged(damaged, record);
        }
    }
}

TEST(DamagedRecords, RandomRecordsAreDecodedSafely)
{
    std::mt19937 random(11);
    MFTFileRecord record;
    for (int round = 0; round < 5000; ++round) {
        Bytes damaged(kRecordSize);
        for (std::uint8_t& byte : damaged) {
            byte = static_cast<std::uint8_t>(random());
        }
        PutLE(damaged, 4, 0x30 + random() % 0x400, 2);
        ProtectWithUpdateSequence(damaged);
        DecodeDamaged(damaged, record);
    }
}

}  // namespace
}  // namespace varneth_test
