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

std::vector<std::pair<std::string, std::size_t>> Sized(const std::vector<std::string>& names)
{
    std::vector<std::pair<std::string, std::size_t>> files;
    for (const std::string& name : names) {
        files.emplace_back(name, name == names.back() ? 2 : 4);
    }
    return files;
}

TEST(SplitSetTest, FilesBesideTheNameMakeTheSet)
{
    struct Row {
        const char* label;
        std::vector<std::pair<std::string, std::size_t>> files;  // name, length
        const char* named;
        SplitSetOpen result;
        std::vector<std::string> segments;  // or the line said
    };
    const Row rows[] = {
        {"named by a middle segment", {{"d.00", 4}, {"d.01", 4}, {"d.02", 2}}, "d.01", SplitSetOpen::kOpened,
         {"d.00", "d.01", "d.02"}},
        {"counted from one", {{"d.001", 4}, {"d.002", 4}}, "d.002", SplitSetOpen::kOpened, {"d.001", "d.002"}},
        {"widened past 89", Sized(WidenedNames()), "d.42", SplitSetOpen::kOpened, WidenedNames()},
        {"a gap", {{"d.aa", 4}, {"d.ab", 4}, {"d.ad", 4}}, "d.aa", SplitSetOpen::kRefused,
         {"Image segment d.ac is missing."}},
        {"a short segment", {{"d.000", 4}, {"d.001", 3}, {"d.002", 4}}, "d.002", SplitSetOpen::kRefused,
         {"Image segment d.001 is shorter than the segments before it: the set is incomplete."}},
        {"a raw image beside its log", {{"d.img", 4}, {"d.log", 4}}, "d.img", SplitSetOpen::kNotASet, {}},
        {"one segment alone", {{"d.001", 4}}, "d.001", SplitSetOpen::kNotASet, {}},
    };
    for (const Row& row : rows) {
        const TempDir dir;
        for (const auto& [name, length] : row.files) {
            WriteFile(dir.File(name), std::string(length, 'x'));
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
