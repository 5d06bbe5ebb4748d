#include <gtest/gtest.h>

#include <vector>

#include "record_fixtures.h"
#include "report/name_lists.h"
#include "support/diagnostic_texts.h"

namespace varneth_test {
namespace {

struct NameEntry {
    const wchar_t* name;
    std::uint16_t name_space;
};

struct StreamEntry {
    const wchar_t* name;
    bool is_ads;
};

struct ListingCase {
    const char* label;
    std::vector<NameEntry> names;
    std::vector<StreamEntry> streams;  // after an unnamed $DATA
    std::vector<const wchar_t*> files_listing;
    std::vector<const wchar_t*> streams_listing;
};

std::vector<wxString> ToVector(const wxArrayString& list)
{
    return std::vector<wxString>(list.begin(), list.end());
}

std::vector<wxString> ToVector(const std::vector<const wchar_t*>& list)
{
    return std::vector<wxString>(list.begin(), list.end());
}

TEST(NameListsTest, FileAndStreamListings)
{
    Diagnostics diagnostics;
    const ListingCase cases[] = {
        {"single name, no streams", {{L"notes.txt", kNameSpaceWin32AndDos}}, {}, {L"notes.txt"}, {}},
        {"two named streams",
         {{L"notes.txt", kNameSpaceWin32AndDos}},
         {{L"Zone.Identifier", true}, {L"x", true}},
         {L"notes.txt", L"notes.txt:Zone.Identifier", L"notes.txt:x"},
         {L"notes.txt:Zone.Identifier", L"notes.txt:x"}},
        {"DOS name first",
         {{L"PROGRA~1", kNameSpaceDos}, {L"Program Files", kNameSpaceWin32}},
         {{L"s", true}},
         {L"Program Files", L"Program Files:s"},
         {L"Program Files:s"}},
        {"earliest non-DOS name wins",
         {{L"posix name", kNameSpacePosix}, {L"win32 name", kNameSpaceWin32}},
         {},
         {L"posix name"},
         {}},
        {"single DOS name is used",
         {{L"NOTES~1.TXT", kNameSpaceDos}},
         {{L"s", true}},
         {L"NOTES~1.TXT", L"NOTES~1.TXT:s"},
         {L"NOTES~1.TXT:s"}},
        {"two DOS names", {{L"A~1", kNameSpaceDos}, {L"B~1", kNameSpaceDos}}, {{L"s", true}}, {}, {}},
        {"no name at all", {}, {{L"s", true}}, {}, {}},
        {"named stream with empty name", {{L"f", kNameSpaceWin32}}, {{L"", true}}, {L"f"}, {}},
        {"unnamed second $DATA", {{L"f", kNameSpaceWin32}}, {{L"ghost", false}}, {L"f"}, {}},
        {"empty sole name", {{L"", kNameSpaceWin32}}, {{L"s", true}}, {L""}, {}},
        {"name is not split", {{L"a:b\\c.d", kNameSpacePosix}}, {}, {L"a:b\\c.d"}, {}},
    };
    for (const ListingCase& c : cases) {
        SCOPED_TRACE(c.label);
        MFTFileRecord record;
        for (const NameEntry& name : c.names) {
            AddFileName(record, name.name, name.name_space);
        }
        AddResidentData(record, 10);
        for (const StreamEntry& stream : c.streams) {
            AddResidentData(record, 1, stream.name).is_ads = stream.is_ads;
        }
        EXPECT_EQ(ToVector(GetMFTRecordWin32FileName(&record, false, diagnostics)), ToVector(c.files_listing));
        EXPECT_EQ(ToVector(GetMFTRecordWin32FileName(&record, true, diagnostics)), ToVector(c.streams_listing));
    }
}

TEST(NameListsTest, ControlCharactersAreReplaced)
{
    Diagnostics diagnostics;
    MFTFileRecord record;
    AddFileName(record, wxString(L"a\tb\x1b[0m\x9b"), kNameSpacePosix);
    AddResidentData(record, 1, wxString(L"s\nt\x7f"));
    const std::vector<wxString> expected = {Replaced("a#b#[0m#"), Replaced("a#b#[0m#:s#t#")};
    EXPECT_EQ(ToVector(GetMFTRecordWin32FileName(&record, false, diagnostics)), expected);
}

TEST(NameListsTest, RefusesWhatIsNotARecord)
{
    MFTStdInfoAttr not_a_record;
    for (wxObject* object : {static_cast<wxObject*>(&not_a_record), static_cast<wxObject*>(nullptr)}) {
        for (bool streams_only : {false, true}) {
            Diagnostics diagnostics;
            EXPECT_TRUE(GetMFTRecordWin32FileName(object, streams_only, diagnostics).empty());
            const std::vector<wxString> expected = {
                wxS("GetMFTRecordWin32FileName() - mft_file_record is not of type MFTFileRecord.")};
            EXPECT_EQ(Texts(diagnostics), expected);
            EXPECT_EQ(TextsAt(diagnostics, DiagnosticLevel::kError), expected);
        }
    }
}

}  // namespace
}  // namespace varneth_test
