// Image sets: the numberings of split raw and EWF segments where they carry
// or end, and which files beside a name make a set of it.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "image/ewf_image.h"
#include "image/split_set.h"
#include "support/cli_runner.h"

namespace varneth_test {
namespace {

TEST(SplitSetTest, NumberingsCarryWidenAndEnd)
{
    struct Row {
        const char* suffix;
        const char* next;     // empty: the numbering ends
        const char* widened;  // split's name when it chose the width itself
    };
    const Row rows[] = {
        {"099", "100", ""}, {"999", "", ""}, {"09", "10", ""}, {"89", "90", "9000"},   {"99", "", ""},
        {"az", "ba", ""},   {"yz", "za", "zaaa"},           {"zz", "", ""},   {"9899", "9900", "990000"},
        {"zyzz", "zzaa", "zzaaaa"}, {"aaz", "aba", ""},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(NextSplitSuffix(wxString(row.suffix)), wxString(row.next)) << row.suffix;
        EXPECT_EQ(WidenedSplitSuffix(wxString(row.suffix)), wxString(row.widened)) << row.suffix;
    }
    const char* ewf[][2] = {{"c.E09", "c.E10"}, {"c.E99", "c.EAA"}, {"c.EAZ", "c.EBA"}, {"c.EZZ", "c.FAA"},
                            {"c.e99", "c.eaa"}, {"c.Ex01", "c.Ex02"}};
    for (const auto& row : ewf) {
        EXPECT_EQ(NextEwfSegmentName(wxString(row[0])), wxString(row[1])) << row[0];
    }
}

// split's two digits when it chose the width: d.00 to d.89, then d.9000.
std::vector<std::string> WidenedNames()
{
    std::vector<std::string> names;
    for (int i = 0; i < 90; ++i) {
        names.push_back("d." + std::to_string(i / 10) + std::to_string(i % 10));
    }
    names.push_back("d.9000");
    return names;
}

TEST(SplitSetTest, FilesBesideTheNameMakeTheSet)
{
    struct Row {
        const char* label;
        std::vector<std::string> files;  // of 4 bytes, but short_one of 3
        const char* short_one;
        const char* named;
        SplitSetOpen result;
        std::vector<std::string> segments;  // or the line said
    };
    const Row rows[] = {
        {"widened past 89, named by a middle one", WidenedNames(), "d.9000", "d.42", SplitSetOpen::kOpened,
         WidenedNames()},
        {"a short segment", {"d.000", "d.001", "d.002"}, "d.001", "d.002", SplitSetOpen::kRefused,
         {"Image segment d.001 is shorter than the segments before it: the set is incomplete."}},
        {"a raw image beside its log", {"d.img", "d.log"}, "", "d.img", SplitSetOpen::kNotASet, {}},
        {"one segment alone", {"d.001"}, "", "d.001", SplitSetOpen::kNotASet, {}},
    };
    for (const Row& row : rows) {
        const TempDir dir;
        for (const std::string& name : row.files) {
            WriteFile(dir.File(name), std::string(name == row.short_one ? 3 : 4, 'x'));
        }
        SplitSet set;
        Diagnostics lines;
        EXPECT_EQ(OpenSplitSet(dir.File(row.named), set, lines), row.result) << row.label;
        std::vector<std::string> got;
        for (const wxString& segment : set.segments) {
            got.push_back(segment.ToStdString().substr(dir.File("").size()));
        }
        for (const DiagnosticLine& line : lines) {
            wxString text = line.text;
            text.Replace(dir.File(""), "");
            got.push_back(text.ToStdString());
        }
        EXPECT_EQ(got, row.segments) << row.label;
    }
}

}  // namespace
}  // namespace varneth_test
