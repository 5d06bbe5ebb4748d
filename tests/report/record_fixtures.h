#ifndef VARNETH_TESTS_REPORT_RECORD_FIXTURES_H
#define VARNETH_TESTS_REPORT_RECORD_FIXTURES_H

// Decoded records made directly in memory for the report tests (the report
// never sees raw bytes), and a guard for the settings the report reads.

#include <cstdint>
#include <vector>

#include <wx/arrstr.h>
#include <wx/string.h>

#include "mft/filetime.h"
#include "mft/mft_file_record.h"
#include "report/report_columns.h"

namespace varneth_test {

// 2009-10-14 13:20:00, 2012-12-14 23:06:40 and 2013-04-09 16:53:20 UTC.
constexpr std::uint64_t kFiletime2009 = 129000000000000000ULL;
constexpr std::uint64_t kFiletime2012 = 130000000000000000ULL;
constexpr std::uint64_t kFiletime2013 = 130100000000000000ULL;

inline void SetTimes(MFTFileNameAttr& name, std::uint64_t filetime)
{
    name.create_time = name.mod_time = name.mft_mod_time = name.access_time = FiletimeToDateTime(filetime);
}

inline MFTFileNameAttr& AddFileName(MFTFileRecord& record, const wxString& file_name, std::uint16_t name_space,
                                    std::uint64_t parent_recno = 5)
{
    auto* name = new MFTFileNameAttr;
    name->file_name = file_name;
    name->file_name_length = static_cast<std::uint16_t>(file_name.length());
    name->name_space = name_space;
    name->parent_recno = parent_recno;
    record.file_name_array.push_back(name);
    return *name;
}

inline MFTDataAttr& AddData(MFTFileRecord& record, const wxString& stream_name)
{
    auto* data = new MFTDataAttr;
    data->attr_type = 0x80;
    data->stream_name = stream_name;
    data->is_ads = !stream_name.empty();
    record.has_ads = record.has_ads || data->is_ads;
    record.data_attr_array.push_back(data);
    return *data;
}

inline MFTDataAttr& AddResidentData(MFTFileRecord& record, std::uint32_t value_length,
                                    const wxString& stream_name = wxString())
{
    MFTDataAttr& data = AddData(record, stream_name);
    data.resident = 1;
    data.value_length = value_length;
    return data;
}

inline MFTDataAttr& AddNonResidentData(MFTFileRecord& record, std::uint64_t real_size, std::uint64_t alloc_size,
                                       const wxString& stream_name = wxString())
{
    MFTDataAttr& data = AddData(record, stream_name);
    data.resident = 0;
    data.real_size = real_size;
    data.init_size = real_size;
    data.alloc_size = alloc_size;
    return data;
}

// A line's fields, its final LF removed; an empty list when there is no LF
// or when the LF is not the last character.
inline std::vector<wxString> SplitLine(const wxString& line)
{
    if (line.empty() || line.Last() != wxS('\n') || line.Freq(wxS('\n')) != 1) {
        return {};
    }
    // No escape character: a path's backslashes are text.
    const wxArrayString fields = wxSplit(line.substr(0, line.length() - 1), wxS('\t'), wxS('\0'));
    return std::vector<wxString>(fields.begin(), fields.end());
}

// The text with every '#' turned into U+FFFD, the character that stands in
// for a replaced one.
inline wxString Replaced(const char* text)
{
    wxString replaced(text);
    replaced.Replace(wxS("#"), wxString(wxUniChar(0xFFFD)));
    return replaced;
}

// The field of the named column in a line of the format; "<none>" when the
// format has no such column or the line is malformed.
inline wxString Field(const wxString& line, const wxString& column, ReportFormat format = ReportFormat::kDefault)
{
    const std::vector<wxString> names = SplitLine(GetReportHeaderString(format));
    const std::vector<wxString> fields = SplitLine(line);
    for (std::size_t i = 0; i < names.size() && names.size() == fields.size(); ++i) {
        if (names[i] == column) {
            return fields[i];
        }
    }
    return wxS("<none>");
}

}  // namespace varneth_test

#endif
