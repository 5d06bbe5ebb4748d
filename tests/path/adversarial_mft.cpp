#include "path/adversarial_mft.h"

#include <string>

namespace varneth_test {

namespace {

constexpr std::uint64_t kRoot = 5;
constexpr std::uint64_t kRecordCount = 260;
constexpr std::uint64_t kPastTheEnd = 5000;

Bytes Named(const std::u16string& name, std::uint64_t parent, bool directory = false, bool in_use = true)
{
    return RecordBuilder()
        .Directory(directory)
        .InUse(in_use)
        .StandardInformation(Times::All(kSomeFiletime), 0x20)
        .FileName(name, kWin32AndDos, parent, Times::All(kSomeFiletime))
        .ResidentData(directory ? 0 : 40)
        .Build();
}

Bytes Directory(const std::u16string& name, std::uint64_t parent)
{
    return Named(name, parent, true);
}

// Chains and parents that end in every way the walk knows.
void AddOddParents(std::map<std::uint64_t, Bytes>& records)
{
    records[16] = Directory(u"Windows", kRoot);
    records[17] = Directory(u"System32", 16);
    records[18] = Directory(u"drivers", 17);
    records[19] = Directory(u"etc", 18);
    records[20] = Named(u"hosts", 19);
    records[21] = Named(u"a.txt", kRoot);
    records[22] = RecordBuilder().Directory(true).FileName(u"ONLYDOS", kDos, kRoot).Build();
    records[23] = Named(u"under dos-only", 22);
    records[24] = RecordBuilder().FileName(u"APP~1.INI", kDos, 19).FileName(u"app.ini", kWin32, 16).Build();
    records[25] = Directory(u"Users", kRoot);
    records[26] = Directory(u"x", 25);
    records[27] = Directory(u".config", 26);
    records[28] = Named(u".profile", 27);
    // 29 stays zero: not a FILE record.
    records[30] = Directory(u"d", 29);
    records[31] = Named(u"x.txt", 30);
    records[32] = Directory(u"broken", kRoot);
    records[32][510] ^= 0xFF;  // the sector end no longer matches the update sequence
    records[33] = Directory(u"d2", 32);
    records[34] = Named(u"x.txt", 33);
    records[35] = Named(u"under a nameless record", 12);
    records[36] = Named(u"parent past the end", kPastTheEnd);
    records[37] = RecordBuilder().InUse(false).Directory(true).FileName(u"gone", kWin32, kRoot).Build();
    records[38] = Named(u"in a deleted directory", 37);
    records[39] = RecordBuilder().FileName(u"", kWin32, 19).FileName(u"real", kPosix, kRoot).Build();
    records[40] = DirectoryWithCutStreamName(u"warned", kRoot);
    records[41] = Named(u"under a warning", 40);
    records[42] = Named(u"under a file", 21);
    records[43] = RecordBuilder().BaseRecord(20, 1).FileName(u"extension name", kWin32, 16).Build();
    records[44] = Named(u"under an extension record", 43);
    records[45] = RecordBuilder().Directory(true).NextAttrId(0).FileName(u"never held", kWin32, kRoot).Build();
    records[46] = Named(u"under a record without attributes", 45);
    records[47] = Directory(u"self", 47);
    records[48] = Named(u"under a self loop", 47);
    records[49] = Directory(u".", 19);  // a second root, deep in the tree
    records[50] = Named(u"under a second root", 49);
    records[51] = Named(u"parent at the end", kRecordCount);
    records[52] = Bytes(kRecordSize, 0);
    records[52][0] = 'B', records[52][1] = 'A', records[52][2] = 'A', records[52][3] = 'D';
    records[53] = Named(u"under BAAD", 52);
    records[54] = Directory(U16("tab\there \x1B[2J esc"), 16);
    records[55] = Named(U16("Привет \xF0\x9F\x98\x80.txt"), 54);
    records[56] = Directory(U16("Café"), 55);  // a file as a directory's parent
    records[57] = Named(u"deep in odd names", 56);
    records[58] = RecordBuilder().InUse(false).FileName(u"deleted file", kWin32, 16).Build();
}

// A chain of count directories named prefix0, prefix1, ... from the root.
void AddChain(std::map<std::uint64_t, Bytes>& records, std::uint64_t first, int count, const std::string& prefix)
{
    for (int i = 0; i < count; ++i) {
        records[first + i] = Directory(U16(prefix + std::to_string(i)), i == 0 ? kRoot : first + i - 1);
    }
}

// Runs of files in the odd directories, so that remembered walks are reused
// and left again many times.
void AddFiles(std::map<std::uint64_t, Bytes>& records, std::uint64_t first, std::uint64_t last)
{
    static const std::uint64_t kParents[] = {19, 30, 33, 40, 22, 12, kPastTheEnd, 37, 21, 43, 45, 47, 49,
                                             52, 56, 109, 158, 200, 201, 29, kRecordCount, 17, 5};
    std::uint64_t parent_index = 0;
    for (std::uint64_t recno = first; recno <= last; ++recno) {
        if (recno % 3 == 0) {
            parent_index = (parent_index + 7) % (sizeof(kParents) / sizeof(kParents[0]));
        }
        records[recno] = Named(U16("f" + std::to_string(recno)), kParents[parent_index], false, recno % 5 != 0);
    }
}

}  // namespace

Bytes DirectoryWithCutStreamName(const std::u16string& name, std::uint64_t parent)
{
    RecordBuilder builder;
    builder.Directory(true)
        .StandardInformation(Times::All(kSomeFiletime))
        .FileName(name, kWin32AndDos, parent, Times::All(kSomeFiletime));
    const std::size_t stream = builder.NextAttributeOffset();
    builder.ResidentData(4, u"s");
    Bytes record = builder.BuildUnprotected();
    PutLE(record, stream + 0x09, 200, 1);    // 200 units ...
    PutLE(record, stream + 0x0A, 0x300, 2);  // ... from near the record end
    ProtectWithUpdateSequence(record);
    return record;
}

MftImage AdversarialMft()
{
    std::map<std::uint64_t, Bytes> records = SystemRecordMap();
    AddOddParents(records);
    AddChain(records, 60, 49, "e");   // 60 to 108: 49 names and the root, 50 passes
    AddChain(records, 109, 50, "d");  // 109 to 158: 50 names, the root out of reach
    records[200] = Directory(u"p", 201);  // a loop
    records[201] = Directory(u"q", 200);
    AddFiles(records, 159, 199);
    AddFiles(records, 202, kRecordCount - 1);
    return ImageOf(records, kRecordCount);
}

std::map<std::uint64_t, Bytes> SystemRecordMap()
{
    std::map<std::uint64_t, Bytes> records;
    const Bytes system = SystemRecords().bytes();
    for (std::uint64_t recno = 0; recno < system.size() / kRecordSize; ++recno) {
        records[recno] = Bytes(system.begin() + recno * kRecordSize, system.begin() + (recno + 1) * kRecordSize);
    }
    return records;
}

MftImage ImageOf(const std::map<std::uint64_t, Bytes>& records, std::uint64_t count)
{
    MftImage image;
    for (std::uint64_t recno = 0; recno < count; ++recno) {
        const auto found = records.find(recno);
        if (found == records.end()) {
            image.AddZeroBlocks(1);
        } else {
            image.Add(found->second);
        }
    }
    return image;
}

}  // namespace varneth_test
