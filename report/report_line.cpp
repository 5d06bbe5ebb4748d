#include "report/report_line.h"

#include <algorithm>
#include <cstddef>

#include "mft/file_name_choice.h"
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

// The most any column writes besides its names and paths (a time's whole
// kept text, a number's block of digits, the marks around a path) and its
// separator.
constexpr std::size_t kColumnRoom = kUtcTimeTextSize + 8;
static_assert(kColumnRoom > kMaxDecimalDigits + 1, "a number fits a column's room");

WideView StreamName(const MFTDataAttr* stream)
{
    return stream != nullptr ? ViewOf(stream->stream_name) : WideView();
}

// Room for the whole line: the names and the path at their longest
// sanitized forms (the stream's name follows both Filename and FullPath).
std::size_t LineRoom(const RecordRowValues& values, const MFTDataAttr* stream)
{
    const std::size_t wide_units = values.name.full_name.size() + values.name.ext.size() +
                                   values.dos_name.full_name.size() + 2 * StreamName(stream).size();
    return kReportColumnCount * kColumnRoom + kMaxSanitizedPerWideUnit * wide_units +
           kMaxSanitizedPerUtf8Byte * values.full_path.size() + values.host_name.size();
}

char* PutFlag(char* out, bool set)
{
    *out++ = set ? '1' : '0';
    return out;
}

char* PutSize(char* out, const MFTDataAttr* data, bool allocated)
{
    if (data == nullptr) {
        return out;
    }
    return PutNumber(out, allocated && !data->resident ? data->alloc_size : ActualSize(*data));
}

char* PutStreamSuffix(char* out, const MFTDataAttr* stream)
{
    if (stream == nullptr) {
        return out;
    }
    *out++ = ':';
    return PutSanitized(out, ViewOf(stream->stream_name));
}

// A record that is not in use has its path marked with "?" on both sides.
char* PutFullPath(char* out, const RecordRowValues& values, const MFTDataAttr* stream)
{
    if (!values.in_use) {
        *out++ = '?';
    }
    out = PutSanitizedUtf8(out, values.full_path);
    out = PutStreamSuffix(out, stream);
    if (!values.in_use) {
        *out++ = '?';
    }
    return out;
}

}  // namespace

std::uint64_t ActualSize(const MFTDataAttr& data)
{
    return data.resident ? data.value_length : data.real_size;
}

void GatherRecordRowValues(const MFTFileRecord& record, std::string_view full_path_utf8,
                           std::string_view host_name_utf8, RecordRowValues& values)
{
    values.recno = record.mft_header.mft_recno;
    values.in_use = (record.mft_header.record_flags & kRecordInUse) != 0;
    values.directory = (record.mft_header.record_flags & kRecordIsDirectory) != 0;
    values.full_path = full_path_utf8;
    values.host_name = host_name_utf8;
    values.std_info = &record.std_info;
    values.first_file_name = FirstFileName(record);
    values.first_data = record.data_attr_array.empty() ? nullptr : record.data_attr_array.front();

    values.name.full_name = values.name.ext = WideView();
    values.dos_name.full_name = values.dos_name.ext = WideView();
    if (const MFTFileNameAttr* name = FirstWin32FileName(record)) {
        SplitDosFileName(name->file_name, values.name);
    }
    if (const MFTFileNameAttr* dos_name = FirstDosFileName(record)) {
        SplitDosFileName(dos_name->file_name, values.dos_name);
    }
}

ReportLineWriter::ReportLineWriter(ReportFormat format)
{
    for (const ReportColumn& column : kReportColumns) {
        if (ColumnInFormat(column, format)) {
            columns_[column_count_++] = &column;
        }
    }
}

void ReportLineWriter::Append(std::string& line, const RecordRowValues& values, const MFTDataAttr* stream)
{
    const std::size_t room = LineRoom(values, stream);
    if (text_.size() < room) {
        text_.resize(room);
    }
    const MFTDataAttr* data = stream != nullptr ? stream : values.first_data;
    char* const start = text_.data();
    char* out = start;
    // One loop, no call a column: the report has tens of millions of fields.
    for (std::size_t i = 0; i < column_count_; ++i) {
        const ReportColumn& column = *columns_[i];
        const auto time = static_cast<std::size_t>(column.time);
        switch (column.value) {
        case ColumnValue::kRecNo:
            out = PutNumber(out, values.recno);
            break;
        case ColumnValue::kDeleted:
            out = PutFlag(out, !values.in_use);
            break;
        case ColumnValue::kDirectory:
            out = PutFlag(out, values.directory);
            break;
        case ColumnValue::kAds:
            out = PutFlag(out, stream != nullptr);
            break;
        case ColumnValue::kFilename:
            out = PutStreamSuffix(PutSanitized(out, values.name.full_name), stream);
            break;
        case ColumnValue::kDosFilename:
            out = PutSanitized(out, values.dos_name.full_name);
            break;
        case ColumnValue::kStdInfoTime:
            out = time_texts_.Put(out, values.std_info->*kStdInfoTimes[time]);
            break;
        case ColumnValue::kActualSize:
            out = PutSize(out, data, false);
            break;
        case ColumnValue::kAllocSize:
            out = PutSize(out, data, true);
            break;
        case ColumnValue::kExt:
            out = PutSanitized(out, values.name.ext);
            break;
        case ColumnValue::kFullPath:
            out = PutFullPath(out, values, stream);
            break;
        case ColumnValue::kFileNameTime:
            if (values.first_file_name != nullptr) {
                out = time_texts_.Put(out, values.first_file_name->*kFileNameTimes[time]);
            }
            break;
        case ColumnValue::kAttributeFlag:
            out = PutFlag(out, (values.std_info->file_attributes & column.attribute_bit) != 0);
            break;
        case ColumnValue::kResident:
            out = PutFlag(out, data != nullptr && data->resident);
            break;
        case ColumnValue::kHostname:
            out = std::copy(values.host_name.begin(), values.host_name.end(), out);
            break;
        }
        *out++ = '\t';
    }
    out[-1] = '\n';  // the last column ends the line
    line.append(start, static_cast<std::size_t>(out - start));
}
