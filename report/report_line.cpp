#include "report/report_line.h"

#include <cstddef>

#include "mft/file_name_choice.h"
#include "report/dos_file_name.h"
#include "text/digits.h"
#include "text/replacement.h"

namespace {

// Member of each time, indexed by TimeField.
constexpr wxDateTime MFTStdInfoAttr::*kStdInfoTimes[] = {
    &MFTStdInfoAttr::create_time, &MFTStdInfoAttr::access_time, &MFTStdInfoAttr::mod_time,
    &MFTStdInfoAttr::mft_mod_time};
constexpr wxDateTime MFTFileNameAttr::*kFileNameTimes[] = {
    &MFTFileNameAttr::create_time, &MFTFileNameAttr::access_time, &MFTFileNameAttr::mod_time,
    &MFTFileNameAttr::mft_mod_time};

void AppendFlag(std::string& line, bool set)
{
    line.push_back(set ? '1' : '0');
}

// A never-set time gives an empty field.
void AppendTime(std::string& line, const wxDateTime& time, UtcTimeTexts& time_texts)
{
    line.append(time_texts.Of(time));
}

void AppendSize(std::string& line, const MFTDataAttr* data, bool allocated)
{
    if (data == nullptr) {
        return;
    }
    AppendUnsigned(line, allocated && !data->resident ? data->alloc_size : ActualSize(*data));
}

void AppendStreamSuffix(std::string& line, const MFTDataAttr* stream)
{
    if (stream != nullptr) {
        line.push_back(':');
        AppendSanitized(line, stream->stream_name);
    }
}

// A record that is not in use has its path marked with "?" on both sides.
void AppendFullPath(std::string& line, const RecordRowValues& values, const MFTDataAttr* stream)
{
    if (!values.in_use) {
        line.push_back('?');
    }
    AppendSanitizedUtf8(line, *values.full_path);
    AppendStreamSuffix(line, stream);
    if (!values.in_use) {
        line.push_back('?');
    }
}

void AppendColumnValue(std::string& line, const ReportColumn& column, const RecordRowValues& values,
                       const MFTDataAttr* stream, UtcTimeTexts& time_texts)
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
        return AppendTime(line, values.std_info->*kStdInfoTimes[time], time_texts);
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
            AppendTime(line, values.first_file_name->*kFileNameTimes[time], time_texts);
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

std::uint64_t ActualSize(const MFTDataAttr& data)
{
    return data.resident ? data.value_length : data.real_size;
}

void GatherRecordRowValues(const MFTFileRecord& record, const std::string& full_path_utf8,
                           const wxString& host_name, RecordRowValues& values)
{
    values.recno = record.mft_header.mft_recno;
    values.in_use = (record.mft_header.record_flags & kRecordInUse) != 0;
    values.directory = (record.mft_header.record_flags & kRecordIsDirectory) != 0;
    values.full_path = &full_path_utf8;
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

void AppendReportLine(std::string& line, const RecordRowValues& values, const MFTDataAttr* stream,
                      ReportFormat format, UtcTimeTexts& time_texts)
{
    for (std::size_t i = 0; i < kReportColumns.size(); ++i) {
        if (!ColumnInFormat(kReportColumns[i], format)) {
            continue;
        }
        AppendColumnValue(line, kReportColumns[i], values, stream, time_texts);
        line.push_back((i + 1 == kReportColumns.size()) ? '\n' : '\t');
    }
}
