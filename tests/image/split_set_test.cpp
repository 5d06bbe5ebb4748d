// Image sets: numberings where they carry or end; the files beside a name that make a set.

#include <gtest/gtest.h>

#include <vector>

#include "image/ewf_image.h"
#include "image/split_set.h"
#include "support/cli_runner.h"

namespace varneth_test {
namespace {

TEST(SplitSetTest, NumberingsCarryWidenAndEnd)
{
    // suffix, the next (empty: the end), the name split writes when it chose the width
    const char* split[][3] = {{"099", "100", ""}, {"999", "", ""}, {"89", "90", "9000"},     {"99", "", ""},
                              {"az", "ba", ""},   {"zz", "", ""},  {"zyzz", "zzaa", "zzaaaa"}};
    for (const auto& row : split) {
        EXPECT_EQ(NextSplitSuffix(row[0]) + "/" + WidenedSplitSuffix(row[0]), wxString(row[1]) + "/" + row[2]);
    }
    const char* ewf[][2] = {{"c.E09", "c.E10"}, {"c.E99", "c.EAA"}, {"c.EZZ", "c.FAA"}, {"c.e99", "c.eaa"}};
    for (const auto& row : ewf) {
        EXPECT_EQ(NextEwfSegmentName(row[0]), row[1]);
    }
}

// split's two digits when it chose the width: d.00 to d.89, then d.9000.
std::vector<wxString> WidenedNames()
{
    std::vector<wxString> names;
    for (int i = 0; i < 90; ++i) {
        names.push_back(wxString::Format("d.%02d", i));
    }
    names.push_back("d.9000");
    return names;
}

TEST(SplitSetTest, FilesBesideTheNameMakeTheSet)
{
    struct Row {
        std::vector<wxString> files;  // of 4 bytes, but short_one of 3
        const char* short_one;
        const char* named;
        SplitSetOpen result;
        std::vector<wxString> found;  // the segments, or the line said
    };
    const Row rows[] = {
        {WidenedNames(), "d.9000", "d.42", SplitSetOpen::kOpened, WidenedNames()},
        {{"d.000", "d.001", "d.002"}, "d.001", "d.002", SplitSetOpen::kRefused,
         {"Image segment d.001 is shorter than the segments before it: the set is incomplete."}},
        {{"d.img", "d.log"}, "", "d.img", SplitSetOpen::kNotASet, {}},  // a raw image beside its log
    };
    for (const Row& row : rows) {
        const TempDir dir;
        for (const wxString& name : row.files) {
            WriteFile(dir.File(name.ToStdString()), std::string(name == row.short_one ? 3 : 4, 'x'));
        }
        SplitSet set;
        Diagnostics lines;
        EXPECT_EQ(OpenSplitSet(dir.File(row.named), set, lines), row.result) << row.named;
        for (const DiagnosticLine& line : lines) {
            set.segments.push_back(line.text);
        }
        for (wxString& text : set.segments) {
            text.Replace(dir.File(""), "");
        }
        EXPECT_EQ(set.segments, row.found) << row.named;
    }
}

}  // namespace
}  // namespace varneth_test
