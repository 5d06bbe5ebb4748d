#ifndef VARNETH_REPORT_REPORT_COLUMNS_H
#define VARNETH_REPORT_REPORT_COLUMNS_H

// The report's columns: one table that the header line, the rows and the
// tests all read, so the three can never disagree on order or selection.

#include <array>
#include <cstddef>
#include <cstdint>

#include <wx/string.h>

// Which output formats carry a column.
enum class ColumnFormats : std::uint8_t {
    kAll,       // default, short and long
    kNotShort,  // default and long
    kLongOnly,
};

// What a column holds; the row builder turns each kind into text.
enum class ColumnValue : std::uint8_t {
    kRecNo,
    kDeleted,
    kDirectory,
    kAds,
    kFilename,
    kDosFilename,
    kStdInfoTime,
    kActualSize,
    kAllocSize,
    kExt,
    kFullPath,
    kFileNameTime,
    kAttributeFlag,
    kResident,
    kHostname,
};

// The four times of $STANDARD_INFORMATION and $FILE_NAME, in column order.
enum class TimeField : std::uint8_t { kCreate, kAccess, kMod, kMftMod };

struct ReportColumn {
    const char* name;
    ColumnFormats formats;
    ColumnValue value;
    TimeField time;               // time columns only
    std::uint32_t attribute_bit;  // attribute flag columns only
};

constexpr std::size_t kReportColumnCount = 33;

// clang-format off
inline constexpr std::array<ReportColumn, kReportColumnCount> kReportColumns = {{
    {"RecNo",              ColumnFormats::kAll,      ColumnValue::kRecNo,         TimeField::kCreate, 0},
    {"Deleted",            ColumnFormats::kAll,      ColumnValue::kDeleted,       TimeField::kCreate, 0},
    {"Directory",          ColumnFormats::kAll,      ColumnValue::kDirectory,     TimeField::kCreate, 0},
    {"ADS",                ColumnFormats::kAll,      ColumnValue::kAds,           TimeField::kCreate, 0},
    {"Filename",           ColumnFormats::kAll,      ColumnValue::kFilename,      TimeField::kCreate, 0},
    {"DOSFilename",        ColumnFormats::kLongOnly, ColumnValue::kDosFilename,   TimeField::kCreate, 0},
    {"siCreateTime (UTC)", ColumnFormats::kAll,      ColumnValue::kStdInfoTime,   TimeField::kCreate, 0},
    {"siAccessTime (UTC)", ColumnFormats::kAll,      ColumnValue::kStdInfoTime,   TimeField::kAccess, 0},
    {"siModTime (UTC)",    ColumnFormats::kAll,      ColumnValue::kStdInfoTime,   TimeField::kMod,    0},
    {"siMFTModTime (UTC)", ColumnFormats::kAll,      ColumnValue::kStdInfoTime,   TimeField::kMftMod, 0},
    {"ActualSize",         ColumnFormats::kAll,      ColumnValue::kActualSize,    TimeField::kCreate, 0},
    {"AllocSize",          ColumnFormats::kNotShort, ColumnValue::kAllocSize,     TimeField::kCreate, 0},
    {"Ext",                ColumnFormats::kAll,      ColumnValue::kExt,           TimeField::kCreate, 0},
    {"FullPath",           ColumnFormats::kAll,      ColumnValue::kFullPath,      TimeField::kCreate, 0},
    {"fnCreateTime (UTC)", ColumnFormats::kNotShort, ColumnValue::kFileNameTime,  TimeField::kCreate, 0},
    {"fnAccessTime (UTC)", ColumnFormats::kNotShort, ColumnValue::kFileNameTime,  TimeField::kAccess, 0},
    {"fnModTime (UTC)",    ColumnFormats::kNotShort, ColumnValue::kFileNameTime,  TimeField::kMod,    0},
    {"fnMFTModTime (UTC)", ColumnFormats::kNotShort, ColumnValue::kFileNameTime,  TimeField::kMftMod, 0},
    {"ReadOnly",           ColumnFormats::kAll,      ColumnValue::kAttributeFlag, TimeField::kCreate, 0x0001},
    {"Hidden",             ColumnFormats::kAll,      ColumnValue::kAttributeFlag, TimeField::kCreate, 0x0002},
    {"System",             ColumnFormats::kAll,      ColumnValue::kAttributeFlag, TimeField::kCreate, 0x0004},
    {"Resident",           ColumnFormats::kLongOnly, ColumnValue::kResident,      TimeField::kCreate, 0},
    {"Archive",            ColumnFormats::kLongOnly, ColumnValue::kAttributeFlag, TimeField::kCreate, 0x0020},
    {"Compressed",         ColumnFormats::kLongOnly, ColumnValue::kAttributeFlag, TimeField::kCreate, 0x0800},
    {"Device",             ColumnFormats::kLongOnly, ColumnValue::kAttributeFlag, TimeField::kCreate, 0x0040},
    {"Encrypted",          ColumnFormats::kLongOnly, ColumnValue::kAttributeFlag, TimeField::kCreate, 0x4000},
    {"Indexed",            ColumnFormats::kLongOnly, ColumnValue::kAttributeFlag, TimeField::kCreate, 0x2000},
    {"Normal",             ColumnFormats::kLongOnly, ColumnValue::kAttributeFlag, TimeField::kCreate, 0x0080},
    {"Offline",            ColumnFormats::kLongOnly, ColumnValue::kAttributeFlag, TimeField::kCreate, 0x1000},
    {"ReparsePoint",       ColumnFormats::kLongOnly, ColumnValue::kAttributeFlag, TimeField::kCreate, 0x0400},
    {"SparseFile",         ColumnFormats::kLongOnly, ColumnValue::kAttributeFlag, TimeField::kCreate, 0x0200},
    {"Temporary",          ColumnFormats::kLongOnly, ColumnValue::kAttributeFlag, TimeField::kCreate, 0x0100},
    {"Hostname",           ColumnFormats::kAll,      ColumnValue::kHostname,      TimeField::kCreate, 0},
}};
// clang-format on

// The line ends after the last column, so it must stand in every format.
static_assert(kReportColumns.back().formats == ColumnFormats::kAll, "the last column ends every line");

enum class ReportFormat : std::uint8_t { kDefault, kShort, kLong };

constexpr bool ColumnInFormat(const ReportColumn& column, ReportFormat format)
{
    switch (column.formats) {
    case ColumnFormats::kAll:
        return true;
    case ColumnFormats::kNotShort:
        return format != ReportFormat::kShort;
    case ColumnFormats::kLongOnly:
        return format == ReportFormat::kLong;
    }
    return false;
}

// The header line of the format, its LF included.
wxString GetReportHeaderString(ReportFormat format);

#endif
