// The cached full path walk against the plain reference walk: the same path
// (in UTF-8), the same lines at the same levels in the same order and the
// same file position, call after call, for every record of adversarial and
// generated $MFT files, in the record loop's order and in others, with caches
// large and tiny.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include <wx/file.h>

#include "bench/mft_generator.h"
#include "mft/mft_file_record.h"
#include "mft/record_construction.h"
#include "mft/record_source.h"
#include "path/adversarial_mft.h"
#include "path/full_path.h"
#include "path/full_path_resolver.h"
#include "reference/full_path_reference.h"
#include "support/cli_runner.h"
#include "support/diagnostic_texts.h"
#include "support/record_builder.h"
#include "text/utf8_text.h"

namespace varneth_test {
namespace {

struct Outcome {
    std::string path;
    std::vector<std::string> lines;  // level and text
    wxFileOffset position;
};

void ExpectSame(const Outcome& actual, const Outcome& expected)
{
    EXPECT_EQ(actual.path, expected.path);
    EXPECT_EQ(actual.lines, expected.lines);
    EXPECT_EQ(actual.position, expected.position);
}

// The record as the record loop hands it over: a base record with a name,
// with the lines its decoding gave. Null otherwise.
class LoopRecord {
public:
    const FullPathResolver::OwnRecord* Read(const std::string& path, std::uint64_t recno)
    {
        Bytes block(kRecordSize, 0);
        std::FILE* file = std::fopen(path.c_str(), "rb");
        const bool read = file != nullptr && std::fseek(file, static_cast<long>(recno * kRecordSize), SEEK_SET) == 0 &&
                          std::fread(block.data(), 1, kRecordSize, file) == kRecordSize;
        if (file != nullptr) {
            std::fclose(file);
        }
        record_.Clear();
        decoding_.clear();
        if (!read || GetLE(block, 0, 4) != 0x454C4946 || GetLE(block, 40, 2) == 0) {
            return nullptr;
        }
        if (CreateMFTFileRecord(block.data(), &record_, recno, decoding_) != 0) {
            return nullptr;
        }
        const bool named_base = record_.mft_header.base_recno == 0 && !record_.file_name_array.empty();
        return named_base ? &own_ : nullptr;
    }

private:
    MFTFileRecord record_;
    Diagnostics decoding_;
    const FullPathResolver::OwnRecord own_{record_, decoding_};
};

// The path, the lines and the file position a call leaves.
template <typename Call>
Outcome OutcomeOf(wxFile& file, Call call)
{
    Diagnostics diagnostics;
    Outcome outcome;
    outcome.path = call(diagnostics);
    for (const DiagnosticLine& line : diagnostics) {
        outcome.lines.push_back(std::to_string(static_cast<int>(line.level)) + " " + line.text.utf8_string());
    }
    outcome.position = file.Tell();
    return outcome;
}

// The names and the end a walk gives, joined again one by one, are its text:
// what the memos put together holds each name where the text has it.
void ExpectNamesJoinToText(const WalkedPath& walked)
{
    WalkedPath joined;
    joined.Start(walked.end());
    for (std::size_t i = 0; i < walked.size(); ++i) {
        joined.AppendName(walked.Name(i));
    }
    joined.Close();
    EXPECT_EQ(joined.text(), walked.text());
    EXPECT_EQ(joined.size(), walked.size());
}

class FullPathResolverTest : public ::testing::Test {
protected:
    void Write(const MftImage& image)
    {
        image.WriteTo(path_);
        record_count_ = image.RecordCount();
    }

    // Every record number in the order given, the file position set before
    // each call so that a call that moves it shows; GetFullPathString, the
    // walk of a single call, is held to the reference as well. Returns how
    // many calls gave lines.
    int ExpectSameWalks(FullPathResolver& resolver, const std::vector<std::uint64_t>& order, bool hand_in)
    {
        wxFile file;
        EXPECT_TRUE(file.Open(path_));
        LoopRecord loop_record;
        int said = 0;
        for (std::uint64_t recno : order) {
            SCOPED_TRACE("record " + std::to_string(recno));
            const wxFileOffset position = static_cast<wxFileOffset>((recno + 1) * kRecordSize);
            file.Seek(position);
            const Outcome expected =
                OutcomeOf(file, [&](Diagnostics& lines) { return ToUtf8(ReferenceFullPath(file, recno, lines)); });
            EXPECT_EQ(expected.position, position);
            file.Seek(position);
            ExpectSame(
                OutcomeOf(file, [&](Diagnostics& lines) { return ToUtf8(GetFullPathString(file, recno, lines)); }),
                expected);
            const FullPathResolver::OwnRecord* own = hand_in ? loop_record.Read(path_, recno) : nullptr;
            file.Seek(position);
            ExpectSame(OutcomeOf(file,
                                 [&](Diagnostics& lines) {
                                     const WalkedPath& walked =
                                         resolver.Resolve(RecordSource(file.fd()), recno, own, lines);
                                     ExpectNamesJoinToText(walked);
                                     return walked.text();
                                 }),
                       expected);
            said += expected.lines.empty() ? 0 : 1;
        }
        return said;
    }

    std::vector<std::uint64_t> Sequential(std::uint64_t extra = 0) const
    {
        std::vector<std::uint64_t> order(record_count_ + extra);
        for (std::uint64_t i = 0; i < order.size(); ++i) {
            order[i] = i;
        }
        return order;
    }

    TempDir dir_;
    const std::string path_ = dir_.File("resolver.mft");
    std::uint64_t record_count_ = 0;
};

TEST_F(FullPathResolverTest, AdversarialChainsInTheRecordLoopsOrder)
{
    Write(AdversarialMft());
    FullPathResolver resolver;
    const int said = ExpectSameWalks(resolver, Sequential(), true);
    EXPECT_GE(said, 30);  // the odd parents say so again on every call
}

TEST_F(FullPathResolverTest, AdversarialChainsInOtherOrdersWithoutTheCallersRecord)
{
    Write(AdversarialMft());
    std::vector<std::uint64_t> order = Sequential(3);  // past the end too: bound errors
    std::reverse(order.begin(), order.end());
    FullPathResolver backwards;
    ExpectSameWalks(backwards, order, false);
    std::vector<std::uint64_t> shuffled = Sequential();
    for (std::size_t i = 0; i < shuffled.size(); ++i) {
        std::swap(shuffled[i], shuffled[(i * 7919 + 13) % shuffled.size()]);
    }
    FullPathResolver mixed;
    ExpectSameWalks(mixed, shuffled, false);
    ExpectSameWalks(mixed, shuffled, true);
}

// The folder a reference names, for every record under sequence numbers
// that match and that do not, in turn: what one walk remembers serves no
// reference with another sequence number.
TEST_F(FullPathResolverTest, FolderWalksForEachSequenceNumberAsTheReferenceWalk)
{
    for (const bool generated : {false, true}) {
        SCOPED_TRACE(generated ? "generated" : "adversarial");
        const varneth_bench::MftGenerator generator(3000, 11);
        if (generated) {
            ASSERT_TRUE(generator.WriteTo(path_));
        } else {
            Write(AdversarialMft());
        }
        wxFile file;
        ASSERT_TRUE(file.Open(path_));
        const std::uint64_t count = static_cast<std::uint64_t>(file.Length()) / kRecordSize;
        FullPathResolver resolver(64, 4096);
        int orphans = 0;
        for (std::uint64_t recno = 0; recno < count + 2; ++recno) {
            for (const std::uint16_t sequence : {1, 2, 1, 0}) {
                Diagnostics lines;
                const std::string expected = ToUtf8(ReferenceFolderPath(file, recno, sequence, lines));
                const WalkedPath& walked = resolver.ResolveFolder(RecordSource(file.fd()), recno, sequence, lines);
                ASSERT_EQ(walked.text(), expected) << recno << " sequence " << sequence;
                ExpectNamesJoinToText(walked);
                orphans += walked.end() == WalkedPath::End::kOrphan ? 1 : 0;
            }
        }
        EXPECT_GT(orphans, 0);
    }
}

TEST_F(FullPathResolverTest, TinyCachesThatFillAndEmptyAllTheTime)
{
    Write(AdversarialMft());
    for (std::size_t entries : {1, 2, 3, 7}) {
        SCOPED_TRACE("cache of " + std::to_string(entries));
        FullPathResolver resolver(entries, 16);
        ExpectSameWalks(resolver, Sequential(), true);
    }
}

TEST_F(FullPathResolverTest, GeneratedMftInTheRecordLoopsOrder)
{
    const varneth_bench::MftGenerator generator(12000, 7);
    ASSERT_TRUE(generator.WriteTo(path_));
    record_count_ = generator.record_count();
    FullPathResolver resolver;
    const int said = ExpectSameWalks(resolver, Sequential(), true);
    EXPECT_GT(said, 0);  // damaged blocks and dangling parents
    FullPathResolver small(500, 4096);
    ExpectSameWalks(small, Sequential(), true);
}

// A directory rewritten after its path was remembered: handed in again, it
// no longer matches, and nothing remembered from before is used.
TEST_F(FullPathResolverTest, ADirectoryThatChangesUnderTheRunIsNotRememberedAsItWas)
{
    MftImage image = SystemRecords();
    image.Add(RecordBuilder().Directory(true).FileName(u"old", kWin32AndDos, 5).Build());  // 16
    image.Add(RecordBuilder().FileName(u"a", kWin32AndDos, 16).Build());                   // 17
    image.Add(RecordBuilder().FileName(u"b", kWin32AndDos, 16).Build());                   // 18
    Write(image);
    wxFile file;
    ASSERT_TRUE(file.Open(path_, wxFile::read_write));
    FullPathResolver resolver;
    LoopRecord loop_record;
    const RecordSource records(file.fd());
    Diagnostics lines;
    EXPECT_EQ(resolver.Resolve(records, 17, loop_record.Read(path_, 17), lines).text(), "\\old\\a");
    const Bytes renamed = RecordBuilder().Directory(true).FileName(u"new", kWin32AndDos, 5).Build();
    file.Seek(16 * kRecordSize);
    ASSERT_EQ(file.Write(renamed.data(), renamed.size()), renamed.size());
    EXPECT_EQ(resolver.Resolve(records, 16, loop_record.Read(path_, 16), lines).text(), "\\new");
    EXPECT_EQ(resolver.Resolve(records, 18, loop_record.Read(path_, 18), lines).text(), "\\new\\b");
    EXPECT_TRUE(lines.empty());
}

// The record at hand is not read or decoded again: the first pass takes the
// caller's record and gives the lines of the caller's decoding, once, even
// when the file no longer holds that record. A record that said something is
// not remembered: the next walk through it reads the file.
TEST_F(FullPathResolverTest, TheFirstPassGivesTheCallersRecordAndItsDecodingLines)
{
    MftImage image = SystemRecords();
    image.Add(DirectoryWithCutStreamName(u"warned", 5));                 // 16
    image.Add(RecordBuilder().FileName(u"a", kWin32AndDos, 16).Build());  // 17
    Write(image);
    wxFile file;
    ASSERT_TRUE(file.Open(path_, wxFile::read_write));
    LoopRecord loop_record;
    const FullPathResolver::OwnRecord* own = loop_record.Read(path_, 16);
    ASSERT_NE(own, nullptr);
    ASSERT_EQ(TextsAt(own->decoding, DiagnosticLevel::kWarning).size(), 1u);
    const Bytes renamed = RecordBuilder().Directory(true).FileName(u"new", kWin32AndDos, 5).Build();
    file.Seek(16 * kRecordSize);
    ASSERT_EQ(file.Write(renamed.data(), renamed.size()), renamed.size());

    FullPathResolver resolver;
    const RecordSource records(file.fd());
    Diagnostics lines;
    EXPECT_EQ(resolver.Resolve(records, 16, own, lines).text(), "\\warned");
    EXPECT_EQ(Texts(lines), Texts(own->decoding));
    lines.clear();
    EXPECT_EQ(resolver.Resolve(records, 17, loop_record.Read(path_, 17), lines).text(), "\\new\\a");
    EXPECT_TRUE(lines.empty());
}

}  // namespace
}  // namespace varneth_test
