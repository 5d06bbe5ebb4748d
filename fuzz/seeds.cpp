#include "fuzz/seeds.h"

#include <cstdint>
#include <utility>

#include "support/record_builder.h"
#include "support/volume_builder.h"

using namespace varneth_test;

namespace fuzz_seeds {

namespace {

const Times kTimes = Times::All(kSomeFiletime);

Bytes NamedFile(const std::u16string& name, std::uint64_t parent)
{
    return RecordBuilder().StandardInformation(kTimes, 0x20).FileName(name, kWin32AndDos, parent, kTimes).ResidentData(12).Build();
}

Bytes NamedDirectory(const std::u16string& name, std::uint64_t parent)
{
    return RecordBuilder().Directory(true).StandardInformation(kTimes, 0x10).FileName(name, kWin32AndDos, parent, kTimes).Build();
}

// Records 0 to 15 of a volume with a user tree, a parent loop and the odd
// records that decoding must survive.
MftImage Tree()
{
    MftImage image;
    for (int recno = 0; recno < 5; ++recno) {
        image.Add(NamedFile(u"$sys" + std::u16string(1, u'0' + recno), 5));
    }
    image.Add(NamedDirectory(u".", 5));                                     // 5: root
    image.Add(NamedDirectory(u"Users", 5));                                 // 6
    image.Add(RecordBuilder()                                               // 7
                  .StandardInformation(kTimes, 0x20)
                  .FileName(u"REPORT~1.TXT", kDos, 6, kTimes)
                  .FileName(u"Report 2012.txt", kWin32, 6, kTimes)
                  .NonResidentData(5000, 8192)
                  .ResidentData(26, u"Zone.Identifier")
                  .Build());
    image.Add(RecordBuilder().InUse(false).StandardInformation(kTimes).FileName(u"gone.doc", kPosix, 6).Build());  // 8
    image.Add(RecordBuilder().BaseRecord(7, 1).NonResidentData(100, 4096, u"more").Build());  // 9: extension
    image.Add(RecordBuilder().StandardInformation(kTimes).FileName(u"ONLY~1.DOS", kDos, 6).Build());  // 10
    image.Add(NamedDirectory(u"loop-a", 12));                               // 11
    image.Add(NamedDirectory(u"loop-b", 11));                               // 12
    image.Add(NamedFile(u"tab\there\nnew line", 6));                        // 13
    image.Add(NamedFile(std::u16string(255, u'x'), 999999));               // 14: parent past the end
    image.AddZeroBlocks(1);                                                 // 15
    return image;
}

// Sixteen records from `first` on: base records with attribute lists, and
// their extension records. The lists point at the base itself, past the
// end, at another base record, at another's extension record, twice at
// one record; one list is not resident, one base record was reused.
MftImage ListTree(std::uint64_t first)
{
    auto extension = [first](std::uint64_t base, std::uint16_t sequence = 1) {
        return RecordBuilder().BaseRecord(first + base, sequence);
    };
    MftImage image;
    image.Add(RecordBuilder().StandardInformation(kTimes, 0x20).FileName(u"many.txt", kWin32, 5, kTimes).ResidentData(5)  // 0
                  .AttributeList({{kTypeFileName, first}, {kTypeData, first + 1}, {kTypeFileName, first + 2},
                                  {kTypeData, 999999}, {kTypeData, first + 5}, {kTypeData, first + 7},
                                  {kTypeData, first + 1}})
                  .Build());
    image.Add(extension(0).ResidentData(20, u"s1").NonResidentData(5000, 8192, u"s2").Build());  // 1
    image.Add(extension(0).FileName(u"LINK.TXT", kWin32, 5, kTimes).FileName(u"LINK~1.TXT", kDos, 5, kTimes)
                  .NonResidentData(0, 0, u"s2", 8).Build());  // 2
    image.Add(RecordBuilder().StandardInformation(kTimes).AttributeList({{kTypeFileName, first + 4}}).Build());  // 3
    image.Add(extension(3).FileName(u"only-in-extension.txt", kWin32, 5, kTimes).NonResidentData(100, 4096).Build());  // 4
    image.Add(RecordBuilder().StandardInformation(kTimes).FileName(u"far.txt", kWin32, 5, kTimes)
                  .NonResidentAttributeList().Build());  // 5
    image.Add(extension(5).ResidentData(3, u"far-stream").Build());  // 6
    image.Add(extension(8, 1).ResidentData(4, u"stale").Build());    // 7
    image.Add(RecordBuilder().SequenceNumber(2).StandardInformation(kTimes).FileName(u"reused.txt", kWin32, 5)
                  .AttributeList({{kTypeData, first + 7}}).Build());  // 8
    image.Add(extension(5, 9).ResidentData(6, u"stale-too").Build());  // 9
    image.AddZeroBlocks(6);
    return image;
}

// Eight 4096-byte records (the run needs five, the record target takes the
// first four): a root at 1, a stream whose attribute starts past byte 1024,
// a name across byte 2048, a parent past the end.
MftImage LargeRecordTree()
{
    MftImage image(kLargeRecordSize);
    auto record = [] { return RecordBuilder(kLargeRecordSize).StandardInformation(kTimes, 0x20); };
    image.Add(record().FileName(u"$MFT", kWin32AndDos, 1, kTimes).NonResidentData(32768, 32768).Build());  // 0
    image.Add(RecordBuilder(kLargeRecordSize).Directory(true).StandardInformation(kTimes, 0x10)
                  .FileName(u".", kWin32AndDos, 1, kTimes).Build());  // 1: root
    image.Add(record().FileName(u"late stream.txt", kWin32, 1, kTimes).ResidentData(1200)
                  .ResidentData(26, u"Zone.Identifier").Build());  // 2
    image.Add(record().ResidentData(1760, u"pad").FileName(std::u16string(40, u'n'), kWin32, 1, kTimes).Build());  // 3
    image.Add(record().FileName(u"orphan", kWin32, 999999, kTimes).Build());  // 4
    image.Add(RecordBuilder(kLargeRecordSize).InUse(false).StandardInformation(kTimes).FileName(u"gone", kPosix, 1).Build());  // 5
    image.AddZeroBlocks(2);
    return image;
}

// Single records at the edges of what decoding accepts.
std::vector<Bytes> EdgeRecords()
{
    std::vector<Bytes> records;
    records.push_back(RecordBuilder().StandardInformation(kTimes).RawAttribute(AttributeBytes(kTypeFileName, 0, false, 0x18)).Build());
    records.push_back(RecordBuilder().StandardInformation(kTimes, 0, 73).FileName(u"long si", kWin32, 5).Build());
    records.push_back(RecordBuilder().StandardInformation(kTimes, 0, 48).FileName(u"short si", kWin32, 5).Build());
    records.push_back(RecordBuilder().UsaOffset(1018).StandardInformation(kTimes).FileName(u"usa at end", kWin32, 5).Build());
    records.push_back(RecordBuilder().FirstAttrOffset(1000).Build());
    records.push_back(RecordBuilder().NextAttrId(0xFFFF).NoEndMarker().RawAttribute(AttributeBytes(kTypeData, 0, true, 0x48)).Build());
    records.push_back(RecordBuilder().StandardInformation(kTimes).FileName(u"a", kWin32, 5).ResidentData(600, u"s").Build());
    records.push_back(RecordBuilder().StandardInformation(Times::All(0)).FileName(u"", kWin32, 5).ResidentAttribute(kTypeAttributeList, Bytes(40, 7)).Build());
    records.push_back(RecordBuilder(kLargeRecordSize).UsaOffset(4078).StandardInformation(kTimes).FileName(u"usa at end", kWin32, 5).Build());
    records.push_back(RecordBuilder(kLargeRecordSize).FirstAttrOffset(4072).Build());
    return records;
}

// Style, number and second style, as the number target splits them.
const char* const kNumberSeeds[] = {
    "[,###]\0001234567\000[,000]",
    "-[,###]\000-1234567\000+[,###]",
    "[,###]-\000-1234\000#,##0",
    "$#,##0\0005\000b b b 0",
    "[,###].'.'00\0001234.567\000[,##0].'.'0#",
    "0.'.'00E+00\0001.5E-3\0000.'.'00e-00",
    "0.'.'00E+00\0001.5E123\0000.'.'00E00",
    "[,###];([,###])\000-0\000[,###];-[,###];nil",
    "#;#;z@ero\000  42 \000abc",
    "#E+0-+\00012a\000#.''",
};

std::string AsString(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

// The system records and a few files of a user: 20 records.
MftImage UserRecords()
{
    MftImage mft = SystemRecords();
    mft.Add(NamedDirectory(u"Users", 5));  // 16
    mft.Add(RecordBuilder().StandardInformation(kTimes, 0x20).FileName(u"notes.txt", kWin32AndDos, 16, kTimes)
                .ResidentData(12).ResidentData(26, u"Zone.Identifier").Build());  // 17
    mft.Add(NamedFile(u"tab\there", 16));                                         // 18
    mft.AddZeroBlocks(1);                                                         // 19
    return mft;
}

// The user records in two pieces: records 0 to 7 at cluster 4, the rest at
// cluster 40, the second piece in extension record 7 that record 0's
// attribute list names.
Bytes ListedVolume()
{
    Bytes records = UserRecords().bytes();
    const std::uint64_t size = records.size();
    PutBytes(records, 0, MftRecordZero({{8, 4}}, size).AttributeList({{kTypeData, 0}, {kTypeData, 7, 1, 0, 8}}).Build());
    PutBytes(records, 7 * kRecordSize,
             RecordBuilder().BaseRecord(0).HeaderRecno(7).NonResidentAttribute(DataPiece({{12, 40}}, 8, 0, 1024)).Build());
    BootFields boot;
    boot.mirror_cluster = 54;
    boot.total_sectors = 2 * (54 + 4 + 1);
    VolumeImage volume(boot);
    volume.PutClusters(4, Bytes(records.begin(), records.begin() + 8 * kRecordSize));
    volume.PutClusters(40, Bytes(records.begin() + 8 * kRecordSize, records.end()));
    volume.PutClusters(54, Bytes(records.begin(), records.begin() + 4 * kRecordSize));
    return volume.bytes();
}

// The volume at sector first of a disk that begins with table.
Bytes Disk(const Bytes& table, std::uint64_t first, const Bytes& volume)
{
    Bytes disk = table;
    PutBytes(disk, first * 512, volume);
    return disk;
}

std::vector<std::pair<const char*, Bytes>> Images()
{
    const Bytes volume = SmallVolume(UserRecords()).bytes();
    const auto sectors = static_cast<std::uint32_t>(volume.size() / 512);
    Bytes torn = volume;
    PutBytes(torn, 4 * 1024 + 510, {0x12, 0x34});  // record 0 fails its update sequence: the mirror is read
    Bytes headless = volume;
    PutBytes(headless, 0, Bytes(512, 0));  // the backup boot sector is read
    // The logical volume of the extended partition is the primary one again.
    Bytes mbr = Disk(MbrSector({{0x07, 64, sectors}, {0x05, 32, 32 + sectors}}), 64, volume);
    PutBytes(mbr, 32 * 512, MbrSector({{0x07, 32, sectors}}));
    Bytes gpt = Disk(MbrSector({{0xEE, 1, 0xFFFFFFFF}}), 64, volume);
    PutBytes(gpt, 512, GptHeader(512, 2, 4, 128));
    PutBytes(gpt, 1024, GptEntries({{64, 64 + sectors - 1}}));
    Bytes gpt_4096 = Disk(MbrSector({{0xEE, 1, 0xFFFFFFFF}}), 32, volume);
    PutBytes(gpt_4096, 4096, GptHeader(4096, 2, 4, 128));
    PutBytes(gpt_4096, 8192, GptEntries({{4, 4 + (sectors + 7) / 8 - 1}}));
    // No table: found by the backup that ends the image, or at sector 63.
    const Bytes wiped_mbr = Disk(Bytes(512, 0), 64, volume);
    Bytes at_sector_63 = Disk(Bytes(512, 0), 63, volume);
    at_sector_63.resize(at_sector_63.size() + 512, 0);
    // BitLocker's signature over the boot sector, alone and behind an MBR.
    const Bytes signature = {'-', 'F', 'V', 'E', '-', 'F', 'S', '-'};
    Bytes bitlocker = volume;
    PutBytes(bitlocker, 3, signature);
    Bytes bitlocker_mbr = Disk(MbrSector({{0x07, 64, sectors}}), 64, bitlocker);
    // Records 8 to 11 past the volume's end, those after them inside it.
    const Bytes piece_past_end = PiecedVolume(UserRecords(), {{0, 0, {{8, 4}, {4, 500}, {8, 40}}}});
    // Two pieces from VCN 0: the first is kept, the one after them joined.
    const Bytes same_start = PiecedVolume(UserRecords(), {{0, 0, {{8, 4}}}, {6, 0, {{8, 20}}}, {7, 8, {{12, 40}}}});
    return {{"volume", volume},   {"listed-volume", ListedVolume()}, {"torn-record-zero", torn},
            {"no-boot-sector", headless}, {"mbr-disk", mbr}, {"gpt-disk", gpt}, {"gpt-4096-disk", gpt_4096},
            {"wiped-mbr", wiped_mbr}, {"no-table-sector-63", at_sector_63}, {"bitlocker-volume", bitlocker},
            {"bitlocker-in-mbr", bitlocker_mbr}, {"piece-past-end", piece_past_end},
            {"pieces-from-one-vcn", same_start}};
}

}  // namespace

std::vector<Seed> RecordSeeds()
{
    std::vector<Seed> seeds;
    // Byte 8 picks the rows' format and the name list (six choices).
    const std::pair<const char*, Bytes> images[] = {
        {"tree", Tree().bytes()}, {"system", SystemRecords().bytes()}, {"large-records", LargeRecordTree().bytes()},
        {"attribute-lists", ListTree(0).bytes()}};
    for (const auto& [name, image] : images) {
        for (int choice = 0; choice < kRecordChoices; ++choice) {
            Bytes bytes = image;
            bytes[8] = static_cast<std::uint8_t>(choice);
            seeds.push_back({std::string(name) + (choice == 0 ? "" : "-choice-" + std::to_string(choice)),
                             AsString(bytes)});
        }
    }
    int index = 0;
    for (const Bytes& record : EdgeRecords()) {
        seeds.push_back({"edge-" + std::to_string(index++), AsString(record)});
    }
    return seeds;
}

std::vector<Seed> NumberSeeds()
{
    std::vector<Seed> seeds;
    int index = 0;
    for (const char* seed : kNumberSeeds) {
        // Three NUL-separated pieces: find the end of the third.
        std::string text(seed);
        std::size_t length = text.size() + 1;
        length += std::string(seed + length).size() + 1;
        length += std::string(seed + length).size();
        seeds.push_back({"style-" + std::to_string(index++), std::string(seed, length)});
    }
    return seeds;
}

// The tree behind the system records, the tree of 4096-byte records, and
// the records with attribute lists behind the system records, once per run
// mode; and damaged records (first attribute at 0x3FF, lengths 0x7FFFFFFF).
std::vector<Seed> RunSeeds()
{
    std::vector<Seed> seeds;
    MftImage damaged = SystemRecords();
    for (std::size_t at : {20, 0x38 + 4, 0xF8 + 4}) {
        Bytes record = RecordBuilder().StandardInformation(kTimes).FileName(u"damaged", kWin32, 5).ResidentData(4).Build();
        PutLE(record, at, at == 20 ? 0x3FF : 0x7FFFFFFF, at == 20 ? 2 : 4);
        damaged.Add(record);
    }
    MftImage image = SystemRecords();
    image.AddRawBytes(Tree().bytes());
    MftImage lists = SystemRecords();
    lists.AddRawBytes(ListTree(lists.RecordCount()).bytes());
    for (int mode = 0; mode < kRunModes; ++mode) {
        Bytes bytes = image.bytes();
        bytes[8] = static_cast<std::uint8_t>(mode);
        seeds.push_back({"mode-" + std::to_string(mode), AsString(bytes)});
        Bytes large = LargeRecordTree().bytes();
        large[8] = static_cast<std::uint8_t>(mode);
        seeds.push_back({"large-records-mode-" + std::to_string(mode), AsString(large)});
        Bytes listed = lists.bytes();
        listed[8] = static_cast<std::uint8_t>(mode);
        seeds.push_back({"attribute-lists-mode-" + std::to_string(mode), AsString(listed)});
        Bytes broken = damaged.bytes();
        broken[8] = static_cast<std::uint8_t>(mode);
        seeds.push_back({"damaged-records-mode-" + std::to_string(mode), AsString(broken)});
    }
    for (int fault = 1; fault <= kRunFaults; ++fault) {
        for (int mode : {1, kRunModes - 1}) {
            Bytes bytes = image.bytes();
            bytes[8] = static_cast<std::uint8_t>(mode);
            bytes[9] = static_cast<std::uint8_t>(fault);
            seeds.push_back({"fault-" + std::to_string(fault) + "-mode-" + std::to_string(mode), AsString(bytes)});
        }
    }
    return seeds;
}

// Each image once per run mode, byte 1 going through the choices of -p.
std::vector<Seed> ImageSeeds()
{
    std::vector<Seed> seeds;
    for (const auto& [name, image] : Images()) {
        for (int mode = 0; mode < kRunModes; ++mode) {
            Bytes bytes = image;
            bytes[0] = static_cast<std::uint8_t>(mode);
            bytes[1] = static_cast<std::uint8_t>(mode % 3);
            seeds.push_back({std::string(name) + "-mode-" + std::to_string(mode), AsString(bytes)});
        }
    }
    return seeds;
}

}  // namespace fuzz_seeds
