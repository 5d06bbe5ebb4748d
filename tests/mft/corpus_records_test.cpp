// Real FILE records taken from Windows volumes, as stored on disk.

#include <gtest/gtest.h>

#include "decoding_test_support.h"
#include "mft/mft_file_record.h"
#include "mft/record_construction.h"

namespace varneth_test {
namespace {

class CorpusRecord : public CorpusTest {
protected:
    // Loads the record and decodes it into record_; returns the result.
    int Decode(const char* name, std::uint64_t mft_recno)
    {
        buffer_ = ReadWholeFile(CorpusDir() + "/records/" + name);
        EXPECT_EQ(buffer_.size(), kRecordSize) << name;
        if (buffer_.size() != kRecordSize) {
            return -2;
        }
        return CreateMFTFileRecord(buffer_.data(), &record_, mft_recno, diagnostics_);
    }

    Bytes buffer_;
    MFTFileRecord record_;
    Diagnostics diagnostics_;
};

TEST_F(CorpusRecord, ASingleFileWithADosAndAWin32Name)
{
    ASSERT_EQ(Decode("entry_single_file.bin", 26370), 0);
    EXPECT_TRUE(diagnostics_.empty());
    EXPECT_EQ(record_.mft_header.header_recno, 26370u);
    EXPECT_EQ(record_.mft_header.record_flags, kRecordInUse);
    EXPECT_EQ(record_.mft_header.link_count, 2);
    EXPECT_EQ(record_.mft_header.base_recno, 0u);
    EXPECT_EQ(record_.mft_header.lsn, 226819164u);
    EXPECT_EQ(UtcText(record_.std_info.create_time), "2008-02-29 04:12:36");
    EXPECT_EQ(UtcText(record_.std_info.mft_mod_time), "2009-11-13 01:56:44");
    EXPECT_EQ(record_.std_info.file_attributes, 0x20u);
    EXPECT_EQ(record_.std_info.security_id, 261u);
    EXPECT_EQ(record_.std_info.usn, 29607584u);
    ASSERT_EQ(FileNames(record_), (std::vector<wxString>{"TEST_C~3.PY", "test_cfuncs.py"}));
    EXPECT_EQ(record_.file_name_array[0]->name_space, kNameSpaceDos);
    EXPECT_EQ(record_.file_name_array[1]->name_space, kNameSpaceWin32);
    EXPECT_EQ(UtcText(record_.file_name_array[1]->create_time), "2009-11-13 01:56:44");
    EXPECT_EQ(LastLongNameParent(record_), 26359u);
    ASSERT_EQ(record_.data_attr_array.size(), 1u);
    const MFTDataAttr& data = *record_.data_attr_array[0];
    EXPECT_EQ(data.resident, 0);
    EXPECT_EQ(data.alloc_size, 8192u);
    EXPECT_EQ(data.real_size, 8072u);
    EXPECT_EQ(data.init_size, 8072u);
    EXPECT_EQ(data.last_vcn, 1u);
    EXPECT_TRUE(data.stream_name.empty());
    EXPECT_FALSE(record_.has_ads);
}

TEST_F(CorpusRecord, ARecordWhoseSectorEndsDoNotCarryTheNumberIsRefused)
{
    EXPECT_EQ(Decode("entry_102130_fixup_issue.bin", 102130), -1);
    EXPECT_EQ(Texts(diagnostics_), (std::vector<wxString>{"WriteFixupValues() - fixup signatures do not match.",
                                                          "CreateMFTFileRecord() - WriteFixupsToMFTRecord() failed."}));
    EXPECT_EQ(record_.mft_header.magic, 0u);
    EXPECT_TRUE(record_.attr_header_array.empty());
}

TEST_F(CorpusRecord, AnExtensionRecordHoldingANamedNonResidentStream)
{
    ASSERT_EQ(Decode("entry_data_run_at_offset.bin", 97583), 0);
    EXPECT_TRUE(diagnostics_.empty());
    EXPECT_EQ(record_.mft_header.base_recno, 57676u);
    EXPECT_EQ(record_.mft_header.base_sequence, 1);
    EXPECT_EQ(record_.mft_header.header_recno, 97583u);
    EXPECT_TRUE(record_.file_name_array.empty());
    EXPECT_FALSE(record_.std_info.create_time.IsValid());
    ASSERT_EQ(record_.data_attr_array.size(), 1u);
    const MFTDataAttr& data = *record_.data_attr_array[0];
    EXPECT_EQ(data.stream_name, "$J");
    EXPECT_EQ(data.resident, 0);
    EXPECT_EQ(data.last_vcn, 525711u);
    EXPECT_EQ(data.run_list_offset, 80);
    EXPECT_EQ(data.compression_unit, 4);
    EXPECT_EQ(data.alloc_size, 2153316352u);
    EXPECT_EQ(data.real_size, 2152925272u);
    EXPECT_TRUE(data.is_ads);
    EXPECT_TRUE(record_.has_ads);
}

TEST_F(CorpusRecord, ADirectoryWithIndexAttributes)
{
    ASSERT_EQ(Decode("entry_multiple_index_root_entries.bin", 26359), 0);
    EXPECT_TRUE(diagnostics_.empty());
    EXPECT_EQ(record_.mft_header.record_flags, kRecordInUse | kRecordIsDirectory);
    ASSERT_EQ(record_.attr_header_array.size(), 2u);  // index root, allocation and bitmap stepped over
    ASSERT_EQ(FileNames(record_), std::vector<wxString>{"test"});
    EXPECT_EQ(record_.file_name_array[0]->name_space, kNameSpaceWin32AndDos);
    EXPECT_EQ(LastLongNameParent(record_), 26354u);
    EXPECT_TRUE(record_.data_attr_array.empty());
    EXPECT_EQ(UtcText(record_.std_info.create_time), "2009-11-13 01:56:43");
}

TEST_F(CorpusRecord, APosixNameWithAResidentAlternateStream)
{
    ASSERT_EQ(Decode("entry_long_name_and_res_ads_002.bin", 46), 0);
    EXPECT_TRUE(diagnostics_.empty());
    ASSERT_EQ(FileNames(record_), std::vector<wxString>{"longname_res_with_ads.txt"});
    EXPECT_EQ(record_.file_name_array[0]->name_space, kNameSpacePosix);
    EXPECT_EQ(LastLongNameParent(record_), 39u);
    ASSERT_EQ(StreamNames(record_), (std::vector<wxString>{"", "res.ads"}));
    EXPECT_EQ(record_.data_attr_array[0]->resident, 1);
    EXPECT_EQ(record_.data_attr_array[0]->value_length, 24u);
    EXPECT_EQ(record_.data_attr_array[1]->value_length, 37u);
    EXPECT_TRUE(record_.has_ads);
    EXPECT_EQ(UtcText(record_.std_info.mod_time), "2017-04-20 00:39:14");
}

TEST_F(CorpusRecord, AVeryLongPosixName)
{
    ASSERT_EQ(Decode("entry_super_long_name_001.bin", 47), 0);
    EXPECT_TRUE(diagnostics_.empty());
    ASSERT_EQ(record_.file_name_array.size(), 1u);
    const MFTFileNameAttr& name = *record_.file_name_array[0];
    EXPECT_EQ(name.file_name_length, 228);
    EXPECT_EQ(name.file_name.length(), 228u);
    EXPECT_TRUE(name.file_name.StartsWith("time_for_a_super_super_"));
    EXPECT_TRUE(name.file_name.EndsWith("_super_longname.txt"));
    EXPECT_EQ(UtcText(name.mft_mod_time), "2017-04-20 00:40:05");
    EXPECT_EQ(LastLongNameParent(record_), 39u);
    ASSERT_EQ(record_.data_attr_array.size(), 1u);
    EXPECT_EQ(record_.data_attr_array[0]->value_length, 31u);
    EXPECT_FALSE(record_.has_ads);
}

}  // namespace
}  // namespace varneth_test
