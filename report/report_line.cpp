#include "report/report_line.h"

#include <cstddef>

#include "mft/file_name_choice.h"
#include "report/dos_file_name.h"
#include "report/report_text.h"

namespace {

// Member of each time, indexed by TimeField.
constexpr wxDateTime MFTStdInfoAttr::*kStdInfoTimes[] = {
    &MFTStdInfoAttr::create_time, &MFTStdInfoAttr::access_time, &MFTStdInfoAttr::mod_time,
    &MFTStdInfoAttr::mft_mod_time};
constexpr wxDateTime MFTFileNameAttr::*kFileNameTimes[] = {
    &MFTFileNameAttr::create_time, &MFTFileNameAttr::access_time, &MFTFileNameAttr::mod_time,
    &MFTFileNameAttr::mft_mod_time};

template <typename Line>
void AppendFlag(Line& line, bool set)
{
    AppendCharacter(line, set ? '1' : '0');
}

// A never-set time gives an empty field.
template <typename Line>
void AppendTime(Line& line, const wxDateTime& time)
{
    static UtcTimeTexts texts;
    const std::string_view text = texts.Of(time);
    AppendAscii(line, text.data(), text.size());
}

template <typename Line>
void AppendSize(Line& line, const MFTDataAttr* data, bool allocated)
{
    if (data == nullptr) {
        return;
    }
    if (data->resident) {
        AppendUnsigned(line, data->value_length);
    } else {
        AppendUnsigned(line, allocated ? data->alloc_size : data->real_size);
    }
}

template <typename Line>
void AppendStreamSuffix(Line& line, const MFTDataAttr* stream)
{
    if (stream != nullptr) {
        AppendCharacter(line, ':');
        AppendSanitized(line, stream->stream_name);
    }
}

void AppendPathText(wxString& line, const RecordRowValues& values)
{
    AppendSanitized(line, *values.full_path);
}

void AppendPathText(std::string& line, const RecordRowValues& values)
{
    if (values.full_path_utf8 != nullptr) {
        AppendSanitizedUtf8(line, *values.full_path_utf8);
    } else {
        AppendSanitized(line, *values.full_path);
    }
}

// A record that is not in use has its path marked with "?" on both sides.
template <typename Line>
void AppendFullPath(Line& line, const RecordRowValues& values, const MFTDataAttr* stream)
{
    if (!values.in_use) {
        AppendCharacter(line, '?');
    }
    AppendPathText(line, values);
    AppendStreamSuffix(line, stream);
    if (!values.in_use) {
        AppendCharacter(line, '?');
    }
}

template <typename Line>
void AppendColumnValue(Line& line, const ReportColumn& column, const RecordRowValues& values,
                       const MFTDataAttr* stream)
{
    const MFTDataAttr* data = stream != nullptr ? stream : values.first_data;
    const auto time = static_cast<std::size_t>(column.time);
    switch (column.value) {
    case ColumnValue::kRecNo:
        return AppendUnsigned(line, values.recno);
    case ColumnValue::kDeleted:
        return AppendFlag(line, !values.in_use);
    case ColumnValue::kDirectory:
        return AppendFlag(line, values.directory);
    case ColumnValue::kAds:
        return AppendFlag(line, stream != nullptr);
    case ColumnValue::kFilename:
        AppendSanitized(line, values.filename);
        return AppendStreamSuffix(line, stream);
    case ColumnValue::kDosFilename:
        return AppendSanitized(line, values.dos_filename);
    case ColumnValue::kStdInfoTime:
        return AppendTime(line, values.std_info->*kStdInfoTimes[time]);
    case ColumnValue::kActualSize:
        return AppendSize(line, data, false);
    case ColumnValue::kAllocSize:
        return AppendSize(line, data, true);
    case ColumnValue::kExt:
        return AppendSanitized(line, values.ext);
    case ColumnValue::kFullPath:
        return AppendFullPath(line, values, stream);
    case ColumnValue::kFileNameTime:
        if (values.first_file_name != nullptr) {
            AppendTime(line, values.first_file_name->*kFileNameTimes[time]);
        }
        return;
    case ColumnValue::kAttributeFlag:
        return AppendFlag(line, (values.std_info->file_attributes & column.attribute_bit) != 0);
    case ColumnValue::kResident:
        return AppendFlag(line, data != nullptr && data->resident);
    case ColumnValue::kHostname:
        return AppendSanitized(line, *values.host_name);
    }
}

}  // namespace

void GatherRecordRowValues(const MFTFileRecord& record, const wxString& full_path, const wxString& host_name,
                           RecordRowValues& values)
{
    values.recno = record.mft_header.mft_recno;
    values.in_use = (record.mft_header.record_flags & kRecordInUse) != 0;
    values.directory = (record.mft_header.record_flags & kRecordIsDirectory) != 0;
    values.full_path = &full_path;
    values.full_path_utf8 = nullptr;
    values.host_name = &host_name;
    values.std_info = &record.std_info;
    values.first_file_name = FirstFileName(record);
    values.first_data = record.data_attr_array.empty() ? nullptr : record.data_attr_array.front();

    values.filename.clear();
    values.ext.clear();
    values.dos_filename.clear();
    if (const MFTFileNameAttr* name = FirstWin32FileName(record)) {
        SplitDosFileName(name->file_name, values.filename, values.ext);
    }
    if (const MFTFileNameAttr* dos_name = FirstDosFileName(record)) {
        wxString unused_ext;
        SplitDosFileName(dos_name->file_name, values.dos_filename, unused_ext);
    }
}

template <typename Line>
void AppendColumns(Line& line, const RecordRowValues& values, const MFTDataAttr* stream, ReportFormat format)
{
    for (std::size_t i = 0; i < kReportColumns.size(); ++i) {
        if (!ColumnInFormat(kReportColumns[i], format)) {
            continue;
        }
        AppendColumnValue(line, kReportColumns[i], values, stream);
        AppendCharacter(line, (i + 1 == kReportColumns.size()) ? '\n' : '\t');
    }
}

void AppendReportLine(wxString& line, const RecordRowValues& values, const MFTDataAttr* stream,
                      ReportFormat format)
{
    AppendColumns(line, values, stream, format);
}

void AppendReportLine(std::string& line, const RecordRowValues& values, const MFTDataAttr* stream,
                      ReportFormat format)
{
    AppendColumns(line, values, stream, format);
}
