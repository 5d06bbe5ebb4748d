// Every record of the real $MFT files in the corpus.

#include <map>

#include <gtest/gtest.h>
#include <wx/log.h>

#include "decoding_test_support.h"
#include "mft/mft_file_record.h"
#include "mft/record_construction.h"
#include "mft/record_header.h"
#include "support/diagnostic_texts.h"

namespace varneth_test {
namespace {

struct CorpusFile {
    const char* name;
    std::size_t file_records;  // blocks that begin with "FILE"
    std::size_t in_use;
};

// Test names and failure messages show the file, not the struct's bytes.
void PrintTo(const CorpusFile& file, std::ostream* out)
{
    *out << file.name;
}

const CorpusFile kCorpusFiles[] = {
    {"win10-ntfs-ptrn.mft", 37, 37},
    {"win10-ntfs-ramslack.mft", 35, 35},
    {"win10-ntfs-lastaccess.mft", 36, 36},
    {"win10-ntfs-si-vs-fn.mft", 32, 32},
    {"win10-20h1.mft", 58, 58},
};

// What decoding one whole $MFT file gave.
struct Decoded {
    std::size_t blocks = 0;
    std::size_t file_records = 0;
    std::size_t in_use = 0;
    std::size_t decoded = 0;
    std::vector<std::string> failures;  // record number and log lines
    std::map<std::uint64_t, std::vector<wxString>> names;
    std::map<std::uint64_t, std::uint64_t> parents;
    std::map<std::uint64_t, std::vector<wxString>> streams;
    std::map<std::uint64_t, std::pair<std::string, std::string>> create_times;  // $SI, first $FILE_NAME
};

Decoded DecodeAll(const Bytes& image)
{
    Decoded result;
    MFTFileRecord record;
    MFTRecordHeader header;
    Bytes buffer(kRecordSize);
    result.blocks = image.size() / kRecordSize;
    for (std::uint64_t recno = 0; recno < result.blocks; ++recno) {
        std::copy(image.begin() + recno * kRecordSize, image.begin() + (recno + 1) * kRecordSize, buffer.begin());
        Diagnostics diagnostics;
        if (GetMFTRecHeader(buffer.data(), &header, diagnostics) != 0 || header.magic != 0x454C4946u) {
            continue;
        }
        ++result.file_records;
        if (!(header.record_flags & kRecordInUse) || header.base_recno != 0) {
            continue;
        }
        ++result.in_use;
        record.Clear();
        const int status = CreateMFTFileRecord(buffer.data(), &record, recno, diagnostics);
        if (status != 0 || !TextsAt(diagnostics, DiagnosticLevel::kError).empty()) {
            std::string failure = "record " + std::to_string(recno) + ":";
            for (const wxString& line : Texts(diagnostics)) {
                failure += " " + line.ToStdString();
            }
            result.failures.push_back(failure);
            continue;
        }
        ++result.decoded;
        result.names[recno] = FileNames(record);
        for (const MFTDataAttr* data : record.data_attr_array) {
            if (!data->stream_name.empty()) {
                result.streams[recno].push_back(data->stream_name);
            }
        }
        result.parents[recno] = LastLongNameParent(record);
        result.create_times[recno] = {
            UtcText(record.std_info.create_time),
            record.file_name_array.empty() ? "" : UtcText(record.file_name_array[0]->create_time)};
    }
    return result;
}

class CorpusMft : public ::testing::TestWithParam<CorpusFile> {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(CorpusAvailable()) << "test data missing: " << CorpusDir();
        const Bytes image = ReadWholeFile(CorpusDir() + "/" + GetParam().name);
        ASSERT_EQ(image.size(), 256 * kRecordSize) << GetParam().name;
        decoded_ = DecodeAll(image);
    }
    Decoded decoded_;
};

TEST_P(CorpusMft, EveryInUseBaseRecordDecodesWithoutAnErrorLine)
{
    EXPECT_EQ(decoded_.file_records, GetParam().file_records);
    EXPECT_EQ(decoded_.in_use, GetParam().in_use);
    EXPECT_EQ(decoded_.decoded, GetParam().in_use);
    EXPECT_TRUE(decoded_.failures.empty()) << ::testing::PrintToString(decoded_.failures);
}

TEST_P(CorpusMft, TheSystemRecordsAreWhereTheyBelong)
{
    const char* const kSystemNames[] = {"$MFT",    "$MFTMirr", "$LogFile", "$Volume", "$AttrDef", ".",
                                        "$Bitmap", "$Boot",    "$BadClus", "$Secure", "$UpCase",  "$Extend"};
    for (std::uint64_t recno = 0; recno < 12; ++recno) {
        EXPECT_EQ(decoded_.names[recno], std::vector<wxString>{kSystemNames[recno]}) << recno;
        EXPECT_EQ(decoded_.parents[recno], 5u) << recno;
    }
    // Records 12 to 15 are reserved: in use, without a name.
    for (std::uint64_t recno = 12; recno < 16; ++recno) {
        EXPECT_TRUE(decoded_.names[recno].empty()) << recno;
    }
    // $Repair in $Extend/$RmMetadata holds three named streams.
    bool found_repair = false;
    for (const auto& [recno, names] : decoded_.names) {
        if (names == std::vector<wxString>{"$Repair"}) {
            found_repair = true;
            EXPECT_EQ(decoded_.streams[recno], (std::vector<wxString>{"$Config", "$Corrupt", "$Verify"}));
        }
    }
    EXPECT_TRUE(found_repair);
}

INSTANTIATE_TEST_SUITE_P(AllFiles, CorpusMft, ::testing::ValuesIn(kCorpusFiles),
                         [](const ::testing::TestParamInfo<CorpusFile>& info) {
                             std::string name = info.param.name;
                             for (char& c : name) {
                                 if (!std::isalnum(static_cast<unsigned char>(c))) {
                                     c = '_';
                                 }
                             }
                             return name;
                         });

class CorpusMftFacts : public CorpusTest {
protected:
    Decoded Load(const char* name) { return DecodeAll(ReadWholeFile(CorpusDir() + "/" + name)); }
};

TEST_F(CorpusMftFacts, PatternVolumeHasItsTwoFilesAtTheRoot)
{
    Decoded decoded = Load("win10-ntfs-ptrn.mft");
    EXPECT_EQ(decoded.names[39], std::vector<wxString>{"1.txt"});
    EXPECT_EQ(decoded.parents[39], 5u);
    EXPECT_EQ(decoded.names[43], std::vector<wxString>{"2.txt"});
    EXPECT_EQ(decoded.parents[43], 5u);
}

TEST_F(CorpusMftFacts, StandardInformationAndFileNameTimesDiffer)
{
    Decoded decoded = Load("win10-ntfs-si-vs-fn.mft");
    EXPECT_EQ(decoded.names[39], std::vector<wxString>{"test.txt"});
    EXPECT_EQ(decoded.names[38], std::vector<wxString>{"test"});
    EXPECT_EQ(decoded.parents[39], 38u);
    EXPECT_EQ(decoded.create_times[39].first, "2015-11-03 12:33:59");
    EXPECT_EQ(decoded.create_times[39].second, "2014-12-12 17:49:01");
}

TEST_F(CorpusMftFacts, The20h1VolumeHasItsDirectories)
{
    Decoded decoded = Load("win10-20h1.mft");
    EXPECT_EQ(decoded.names[50], std::vector<wxString>{"test_dir"});
    EXPECT_EQ(decoded.names[64], std::vector<wxString>{"test_dir_2"});
    EXPECT_EQ(decoded.parents[65], 64u);
    EXPECT_EQ(decoded.names[60][0].length(), 238u);
    EXPECT_EQ(decoded.streams[42], (std::vector<wxString>{"$J", "$Max"}));
}

}  // namespace
}  // namespace varneth_test
