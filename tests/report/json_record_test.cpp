#include <gtest/gtest.h>

#include <string>

#include "mft/mft_file_record.h"
#include "mft/record_construction.h"
#include "report/json_record.h"
#include "support/record_builder.h"

namespace varneth_test {
namespace {

std::string TimeText(std::uint64_t filetime)
{
    std::string out;
    AppendJsonTime(out, filetime);
    return out;
}

TEST(JsonRecordTest, TimesToTheHundredNanosecondAndNeverSetAsNull)
{
    const struct {
        std::uint64_t filetime;
        const char* text;
    } cases[] = {
        {0, "null"},
        {1, "\"1601-01-01T00:00:00.0000001Z\""},
        {131926496171234567ULL, "\"2019-01-22T16:53:37.1234567Z\""},
        {125963423999999999ULL, "\"2000-02-29T23:59:59.9999999Z\""},  // a leap day, the last tick of it
        {116444736000000000ULL, "\"1970-01-01T00:00:00.0000000Z\""},
        {~std::uint64_t{0}, "\"60056-05-28T05:36:10.9551615Z\""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TimeText(c.filetime), c.text) << c.filetime;
    }
}

TEST(JsonRecordTest, StringsAreEscapedWithoutLosingACharacter)
{
    const struct {
        wxString text;
        const char* json;
    } cases[] = {
        {wxS("plain.txt"), "\"plain.txt\""},
        {wxS("\"x"), "\"\\\"x\""},
        {wxS("a\\b"), "\"a\\\\b\""},
        {wxString(wxS("t\tn\nr\rz")) + wxUniChar(0) + wxUniChar(0x1B), "\"t\\tn\\nr\\rz\\u0000\\u001b\""},
        {wxString(wxUniChar(0x85)), "\"\\u0085\""},
        {wxString::FromUTF8("Gr\xC3\xB6\xC3\x9F" "e \xF0\x9F\x98\x80"), "\"Gr\xC3\xB6\xC3\x9F" "e \xF0\x9F\x98\x80\""},
    };
    for (const auto& c : cases) {
        std::string out;
        AppendJsonString(out, c.text);
        EXPECT_EQ(out, c.json);
    }
    // The report's UTF-8 path: the same escapes (a C1 control is two bytes there).
    std::string out;
    AppendJsonUtf8(out, "\\dir\\\"q\"\x01\xC2\x85\xC3\xA9");
    EXPECT_EQ(out, "\"\\\\dir\\\\\\\"q\\\"\\u0001\\u0085\xC3\xA9\"");
}

// A record decoded as the record loop decodes it: every field on its line,
// and both signs of altered times.
TEST(JsonRecordTest, ARecordWithItsNamesStreamsAndTimestompSigns)
{
    Times si = Times::All(130000000000000000ULL);  // whole seconds, earlier than the name's creation
    Times fn = Times::All(131926496171234567ULL);
    Bytes block = RecordBuilder()
                      .SequenceNumber(7)
                      .StandardInformation(si, 0x20)
                      .FileName(u"a\"b.txt", kWin32, 5, fn, 1, 0x20000020)  // index view: past the low half
                      .ResidentData(12)
                      .NonResidentData(5000, 8192, u"zone")
                      .Build();
    MFTFileRecord record;
    Diagnostics lines;
    ASSERT_EQ(CreateMFTFileRecord(block.data(), &record, 42, lines, block.size()), 0);
    lines.Warning(wxS("something said"));
    JsonRecordView view;
    view.recno = 42;
    view.record = &record;
    view.decoded = true;
    view.lines = &lines;
    std::string out;
    AppendJsonRecord(out, view);
    ASSERT_FALSE(out.empty());
    EXPECT_EQ(out.back(), '\n');
    EXPECT_EQ(out.find('\n'), out.size() - 1);
    for (const char* field :
         {"{\"record\":42,\"sequence\":7,\"in_use\":true,\"directory\":false,\"base_record\":null,",
          "\"created\":\"2012-12-14T23:06:40.0000000Z\"", "\"flags\":32,",
          "\"namespace\":\"win32\",\"name\":\"a\\\"b.txt\",\"parent\":{\"record\":5,\"sequence\":",
          "\"created\":\"2019-01-22T16:53:37.1234567Z\"", "\"flags\":536870944}",
          "{\"name\":\"\",\"resident\":true,\"real_size\":12,\"allocated_size\":null,\"initialized_size\":null}",
          "{\"name\":\"zone\",\"resident\":false,\"real_size\":5000,\"allocated_size\":8192,",
          "\"path\":null,\"path_status\":null,",
          "\"timestomp_signs\":{\"si_created_before_fn_created\":true,\"si_times_whole_seconds\":true}",
          "\"errors\":[\"Warning: something said\"]}"}) {
        EXPECT_NE(out.find(field), std::string::npos) << field << "\n" << out;
    }
}

// A time never set (0) tells nothing: the first sign compares two creation
// times, and is null where either is 0; the second looks at the times set,
// and is null where none is.
TEST(JsonRecordTest, TimestompSignsLeaveOutTimesNeverSet)
{
    constexpr std::uint64_t kTime = 131926496171234567ULL;
    constexpr std::uint64_t kWhole = 130000000000000000ULL;
    const struct {
        std::uint64_t si_created;
        std::uint64_t si_others;  // the three other $STANDARD_INFORMATION times
        std::uint64_t fn_created;
        const char* signs;
    } cases[] = {
        {kTime - 1, kTime, kTime, "true,\"si_times_whole_seconds\":false"},
        {kTime, kTime, kTime, "false,\"si_times_whole_seconds\":false"},
        {0, kTime, kTime, "null,\"si_times_whole_seconds\":false"},
        {kTime, kTime, 0, "null,\"si_times_whole_seconds\":false"},
        {kWhole, 0, kTime, "true,\"si_times_whole_seconds\":true"},
        {kWhole, kTime, kTime, "true,\"si_times_whole_seconds\":false"},
        {0, 0, kTime, "null,\"si_times_whole_seconds\":null"},
    };
    for (const auto& c : cases) {
        Times si = Times::All(c.si_others);
        si.create = c.si_created;
        Times fn = Times::All(kTime);
        fn.create = c.fn_created;
        Bytes block = RecordBuilder().StandardInformation(si).FileName(u"f", kWin32, 5, fn).Build();
        MFTFileRecord record;
        Diagnostics lines;
        ASSERT_EQ(CreateMFTFileRecord(block.data(), &record, 40, lines, block.size()), 0);
        JsonRecordView view;
        view.recno = 40;
        view.record = &record;
        view.decoded = true;
        std::string out;
        AppendJsonRecord(out, view);
        EXPECT_NE(out.find(std::string("\"si_created_before_fn_created\":") + c.signs + "}"), std::string::npos)
            << c.si_created << " " << c.si_others << " " << c.fn_created << "\n" << out;
    }
}

}  // namespace
}  // namespace varneth_test
