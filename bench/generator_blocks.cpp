// The bytes of each kind of block, built with the tests' record builder.

#include <iterator>

#include "bench/generator_names.h"
#include "bench/generator_random.h"
#include "bench/mft_generator.h"

namespace varneth_bench {

namespace {

using varneth_test::Bytes;
using varneth_test::RecordBuilder;
using varneth_test::Times;

constexpr std::uint64_t kSystemRecords = 16;
constexpr std::uint64_t k2008 = 128408832000000000ULL;  // 2008-01-01
constexpr std::uint64_t kTicksPerDay = 864000000000ULL;

enum Salt : std::uint64_t { kDirectorySalt = 1, kFileSalt, kExtensionSalt, kDamagedSalt, kDeletedSalt, kParentSalt };

std::uint16_t SequenceOf(std::uint64_t recno)
{
    return static_cast<std::uint16_t>(1 + (recno * 2654435761ULL >> 7) % 40);
}

// Records are taken in order over the volume's life (2008 to 2024), so the
// creation time grows with the record number, hours apart between small
// neighbours (minutes apart in a large file); half the files were changed
// later, and read later still.
Times RandomTimes(Random& random, std::uint64_t recno, std::uint64_t record_count)
{
    constexpr std::uint64_t kLife = 17 * 365 * kTicksPerDay;
    Times times;
    times.create = k2008 + kLife / record_count * recno + random.Below(kTicksPerDay / 4);
    times.mod = times.create + (random.PerMille(500) ? 0 : random.Below(700 * kTicksPerDay));
    times.mft_mod = times.mod + random.Below(kTicksPerDay);
    times.access = times.mod + random.Below(365 * kTicksPerDay);
    return times;
}

std::uint32_t FileAttributes(Random& random)
{
    static const std::uint32_t kCommon[] = {0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x20, 0x00, 0x26,
                                            0x21, 0x2020, 0x820, 0x4020, 0x220, 0x420, 0x120, 0x1020};
    return kCommon[random.Below(std::size(kCommon))];
}

std::uint64_t AlignUp8(std::uint64_t n)
{
    return (n + 7) & ~std::uint64_t{7};
}

// Bytes left after the attributes so far and the end marker.
std::uint64_t Room(const RecordBuilder& record)
{
    const std::uint64_t used = record.NextAttributeOffset() + 8;
    return used >= record.RecordSize() ? 0 : record.RecordSize() - used;
}

// Sizes spread over many orders of magnitude, as on a real volume. A value
// that does not fit in the record goes non-resident, as on a volume; a
// stream that does not fit at all is left out.
void AddData(RecordBuilder& record, Random& random, const std::u16string& stream_name)
{
    constexpr std::uint64_t kKept = 2 * 120;  // room for streams that may follow
    const std::uint64_t header = 2 * stream_name.size();
    const std::uint64_t wanted = random.Below(700);
    if (random.PerMille(280) && AlignUp8(0x18 + header) + AlignUp8(wanted) + kKept <= Room(record)) {
        record.ResidentData(static_cast<std::uint32_t>(wanted), stream_name);
        return;
    }
    if (AlignUp8(0x40 + header) + 8 > Room(record)) {
        return;
    }
    const double exponent = 10.0 + random.Unit() * 22.0;  // 1 KiB to 4 GiB
    const auto real_size = static_cast<std::uint64_t>(1ULL << static_cast<int>(exponent)) +
                           random.Below(1ULL << static_cast<int>(exponent - 1));
    std::uint64_t alloc_size = (real_size + 4095) / 4096 * 4096;
    if (random.PerMille(20)) {
        alloc_size /= 4;  // compressed or sparse
    }
    record.NonResidentData(real_size, alloc_size, stream_name);
}

void AddStreams(RecordBuilder& record, Random& random)
{
    static const char16_t* const kStreams[] = {u"Zone.Identifier", u"Zone.Identifier", u"Zone.Identifier",
                                               u"SmartScreen", u"com.dropbox.attrs", u"encryptable",
                                               u"\u0005SummaryInformation", u"favicon"};
    const unsigned count = random.PerMille(850) ? 1 : 2;
    for (unsigned i = 0; i < count; ++i) {
        const std::u16string name = kStreams[random.Below(std::size(kStreams))];
        const std::uint64_t size = 26 + random.Below(120);
        if (name == u"Zone.Identifier" && AlignUp8(0x18 + 2 * name.size()) + AlignUp8(size) <= Room(record)) {
            record.ResidentData(static_cast<std::uint32_t>(size), name);
        } else {
            AddData(record, random, name);
        }
    }
}

void AddNames(RecordBuilder& record, const std::vector<NameEntry>& names, std::uint64_t parent,
              const Times& times)
{
    for (const NameEntry& entry : names) {
        record.FileName(entry.name, entry.name_space, parent, Times::All(times.create), SequenceOf(parent));
    }
}

}  // namespace

Bytes MftGenerator::Block(std::uint64_t recno) const
{
    switch (kinds_[recno]) {
    case BlockKind::kSystem:
        return Bytes(system_.begin() + recno * record_size_, system_.begin() + (recno + 1) * record_size_);
    case BlockKind::kDirectory:
        return DirectoryBlock(recno);
    case BlockKind::kFile:
        return FileBlock(recno);
    case BlockKind::kExtension:
        return ExtensionBlock(recno);
    case BlockKind::kNeverUsed:
        break;
    case BlockKind::kDamaged:
        return DamagedBlock(recno);
    }
    return Bytes(record_size_, 0);
}

bool MftGenerator::FileDeleted(std::uint64_t recno) const
{
    Random random(seed_, recno, kDeletedSalt);
    return random.PerMille(80);
}

// A deleted file's parent may since have been reused for another file or
// directory.
std::uint64_t MftGenerator::ParentOfFile(std::uint64_t recno) const
{
    Random random(seed_, recno, kParentSalt);
    if (!FileDeleted(recno) || !random.PerMille(150) || record_count_ <= kSystemRecords) {
        return RunParent(recno);
    }
    std::uint64_t parent = kSystemRecords + random.Below(record_count_ - kSystemRecords);
    for (std::uint64_t tries = kSystemRecords; tries < record_count_; ++tries) {
        if (kinds_[parent] == BlockKind::kFile || kinds_[parent] == BlockKind::kDirectory) {
            return parent;
        }
        parent = parent + 1 < record_count_ ? parent + 1 : kSystemRecords;
    }
    return RunParent(recno);
}

Bytes MftGenerator::DirectoryBlock(std::uint64_t recno) const
{
    Random random(seed_, recno, kDirectorySalt);
    const Directory* directory = FindDirectory(recno);
    const Times times = RandomTimes(random, recno, record_count_);
    RecordBuilder record(record_size_);
    record.HeaderRecno(static_cast<std::uint32_t>(recno)).SequenceNumber(SequenceOf(recno)).Directory(true);
    record.InUse(!random.PerMille(80));
    record.StandardInformation(times, random.PerMille(50) ? 0x16 : 0x10);
    AddNames(record, NameEntries(MakeDirectoryName(random), random), directory->parent, times);
    record.ResidentAttribute(varneth_test::kTypeIndexRoot, Bytes(48 + 8 * random.Below(20), 0), u"$I30");
    return record.Build();
}

Bytes MftGenerator::FileBlock(std::uint64_t recno) const
{
    Random random(seed_, recno, kFileSalt);
    const bool deleted = FileDeleted(recno);
    const std::uint64_t parent = ParentOfFile(recno);
    const Times times = RandomTimes(random, recno, record_count_);
    RecordBuilder record(record_size_);
    record.HeaderRecno(static_cast<std::uint32_t>(recno)).SequenceNumber(SequenceOf(recno)).InUse(!deleted);
    record.StandardInformation(times, FileAttributes(random));
    AddNames(record, NameEntries(MakeFileName(random), random), parent, times);
    if (!random.PerMille(3)) {
        AddData(record, random, u"");  // else only named streams, if any
    }
    if (random.PerMille(50)) {
        AddStreams(record, random);
    }
    return record.Build();
}

// The rest of an earlier file's attributes; some carry a further name.
Bytes MftGenerator::ExtensionBlock(std::uint64_t recno) const
{
    Random random(seed_, recno, kExtensionSalt);
    std::uint64_t base = 0;  // $MFT itself, when no file is near
    for (std::uint64_t back = recno; back > kSystemRecords && back + 64 > recno; --back) {
        if (kinds_[back - 1] == BlockKind::kFile) {
            base = back - 1;
            break;
        }
    }
    RecordBuilder record(record_size_);
    record.HeaderRecno(static_cast<std::uint32_t>(recno)).BaseRecord(base, SequenceOf(base));
    if (random.PerMille(300)) {
        AddNames(record, NameEntries(MakeFileName(random), random), RunParent(base), RandomTimes(random, recno, record_count_));
    }
    AddData(record, random, random.PerMille(500) ? u"" : u"Zone.Identifier");
    return record.Build();
}

// Torn or overwritten: sometimes marked "BAAD" by chkdsk, sometimes noise.
Bytes MftGenerator::DamagedBlock(std::uint64_t recno) const
{
    Random random(seed_, recno, kDamagedSalt);
    Bytes block(record_size_);
    for (std::uint8_t& byte : block) {
        byte = static_cast<std::uint8_t>(random.Next());
    }
    if (random.PerMille(500)) {
        block[0] = 'B', block[1] = 'A', block[2] = 'A', block[3] = 'D';
    }
    return block;
}

}  // namespace varneth_bench
