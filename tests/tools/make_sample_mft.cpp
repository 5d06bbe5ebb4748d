// Writes the bundled sample $MFT: the system records of a fresh volume and a
// small user tree that shows every kind of row the report can hold.
//
//   make_sample_mft samples/sample.mft

#include <cstdio>
#include <exception>

#include "support/record_builder.h"

using namespace varneth_test;

namespace {

constexpr std::uint64_t kCreated = 132000000000000000ULL;   // 2019-04-17 18:40:00 UTC
constexpr std::uint64_t kModified = 133000000000000000ULL;  // 2022-06-18 04:26:40 UTC
const Times kRecordTimes{kCreated, kModified, kModified, kModified};
const Times kNameTimes = Times::All(kCreated);

Bytes Directory(const std::u16string& name, std::uint64_t parent)
{
    return RecordBuilder()
        .Directory(true)
        .StandardInformation(kRecordTimes, 0x0010)
        .FileName(name, kWin32AndDos, parent, kNameTimes)
        .Build();
}

Bytes File(const std::u16string& name, std::uint64_t parent, std::uint32_t size, std::uint32_t attributes = 0x20)
{
    return RecordBuilder()
        .StandardInformation(kRecordTimes, attributes)
        .FileName(name, kWin32AndDos, parent, kNameTimes)
        .ResidentData(size)
        .Build();
}

MftImage SampleImage()
{
    MftImage image = SystemRecords();                       // 0 to 15
    image.Add(Directory(u"Users", 5));                      // 16
    image.Add(Directory(u"examiner", 16));                  // 17
    image.Add(Directory(u"Documents", 17));                 // 18
    image.Add(RecordBuilder()                               // 19
                  .StandardInformation(kRecordTimes, 0x20)
                  .FileName(u"REPORT~1.TXT", kDos, 18, kNameTimes)
                  .FileName(u"Report 2012.txt", kWin32, 18, kNameTimes)
                  .NonResidentData(5000, 8192)
                  .ResidentData(26, u"Zone.Identifier")
                  .Build());
    image.Add(File(u"notes.txt", 18, 120));                 // 20
    image.Add(RecordBuilder()                               // 21: deleted
                  .InUse(false)
                  .StandardInformation(kRecordTimes, 0x20)
                  .FileName(u"old draft.docx", kWin32AndDos, 18, kNameTimes)
                  .NonResidentData(20480, 20480)
                  .Build());
    image.Add(File(U16("Привет.txt"), 17, 64));             // 22
    image.Add(File(U16("\xF0\x9F\x98\x80 emoji.txt"), 17, 12));  // 23
    image.AddZeroBlocks(1);                                 // 24: never used
    image.Add(RecordBuilder()                               // 25: extension of 19
                  .BaseRecord(19, 1)
                  .NonResidentData(65536, 65536, u"big.stream")
                  .Build());
    image.Add(Directory(u".config", 17));                   // 26
    image.Add(File(u"app.ini", 26, 300));                   // 27
    image.Add(RecordBuilder()                               // 28: POSIX name
                  .StandardInformation(kRecordTimes, 0x20)
                  .FileName(u"Makefile", kPosix, 17, kNameTimes)
                  .ResidentData(0)
                  .Build());
    image.Add(File(u"desktop.ini", 17, 282, 0x26));         // 29: hidden, system
    image.AddZeroBlocks(2);                                 // 30, 31
    return image;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_sample_mft OUTPUT\n");
        return 2;
    }
    try {
        SampleImage().WriteTo(argv[1]);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "make_sample_mft: %s\n", error.what());
        return 1;
    }
    return 0;
}
