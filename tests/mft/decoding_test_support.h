#ifndef VARNETH_TESTS_MFT_DECODING_TEST_SUPPORT_H
#define VARNETH_TESTS_MFT_DECODING_TEST_SUPPORT_H

// Small helpers shared by the record decoding tests.

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <wx/string.h>

#include "mft/attribute_walk.h"
#include "mft/mft_file_record.h"
#include "support/diagnostic_texts.h"
#include "support/record_builder.h"
#include "support/utc_text.h"

namespace varneth_test {

inline std::string CorpusDir() { return VARNETH_CORPUS_DIR; }

inline bool CorpusAvailable() { return std::filesystem::is_directory(CorpusDir()); }

// The whole file, or nothing when it cannot be read.
inline Bytes ReadWholeFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The real data ships with the sources: missing data is a failure, never a skip.
class CorpusTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(CorpusAvailable()) << "test data missing: " << CorpusDir(); }
};

// The names of the record's $FILE_NAME attributes, in record order.
inline std::vector<wxString> FileNames(const MFTFileRecord& record)
{
    std::vector<wxString> names;
    for (const MFTFileNameAttr* file_name : record.file_name_array) {
        names.push_back(file_name->file_name);
    }
    return names;
}

// The stream names of the record's $DATA attributes ("" for the unnamed
// stream), in record order.
inline std::vector<wxString> StreamNames(const MFTFileRecord& record)
{
    std::vector<wxString> names;
    for (const MFTDataAttr* data : record.data_attr_array) {
        names.push_back(data->stream_name);
    }
    return names;
}

// The header of the one attribute of record, as the walk finds it.
inline MFTAttrHeader OnlyHeader(const Bytes& record)
{
    MFTFileRecord owner;
    Diagnostics diagnostics;
    EXPECT_EQ(PopulateAttrHeaderArray(record.data(), &owner.attr_header_array, diagnostics), 0);
    EXPECT_EQ(owner.attr_header_array.size(), 1u);
    return owner.attr_header_array.empty() ? MFTAttrHeader() : *owner.attr_header_array[0];
}

// call(diagnostics) must return -1 and say exactly this one error.
template <typename Call>
void ExpectRefusal(const Call& call, const wxString& line)
{
    Diagnostics diagnostics;
    EXPECT_EQ(call(diagnostics), -1) << line;
    EXPECT_EQ(Texts(diagnostics), std::vector<wxString>{line});
    EXPECT_TRUE(diagnostics.empty() || diagnostics[0].level == DiagnosticLevel::kError);
}

// What a new or cleared record holds.
inline void ExpectClearRecord(const MFTFileRecord& record)
{
    EXPECT_EQ(record.mft_header.magic, 0u);
    EXPECT_EQ(record.mft_header.lsn, 0u);
    EXPECT_EQ(record.mft_header.base_recno, 0u);
    EXPECT_EQ(record.mft_header.next_attr_id, 0);
    EXPECT_EQ(record.mft_header.header_recno, 0u);
    EXPECT_EQ(record.mft_header.mft_recno, 0u);
    EXPECT_TRUE(record.attr_header_array.empty());
    EXPECT_TRUE(record.file_name_array.empty());
    EXPECT_TRUE(record.data_attr_array.empty());
    EXPECT_FALSE(record.std_info.create_time.IsValid());
    EXPECT_FALSE(record.std_info.mod_time.IsValid());
    EXPECT_FALSE(record.std_info.mft_mod_time.IsValid());
    EXPECT_FALSE(record.std_info.access_time.IsValid());
    EXPECT_EQ(record.std_info.file_attributes, 0u);
    EXPECT_EQ(record.std_info.usn, 0u);
    EXPECT_FALSE(record.has_ads);
}

// The parent the record's names give: the last name outside the DOS
// namespace decides; 0 when there is none.
inline std::uint64_t LastLongNameParent(const MFTFileRecord& record)
{
    std::uint64_t parent = 0;
    for (const MFTFileNameAttr* name : record.file_name_array) {
        if (name->name_space != kNameSpaceDos) {
            parent = name->parent_recno;
        }
    }
    return parent;
}

}  // namespace varneth_test

#endif
