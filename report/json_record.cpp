#include "report/json_record.h"

#include <cinttypes>
#include <cstdio>

#include "mft/attribute_walk.h"
#include "mft/file_name_choice.h"
#include "text/utf8_text.h"

namespace {

constexpr std::uint64_t kTicksPerSecond = 10000000;
constexpr std::uint64_t kSecondsPerDay = 86400;

void AppendHexEscape(std::string& out, std::uint32_t unit)
{
    char escape[8];
    std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(unit));
    out += escape;
}

// An escape for the characters JSON does not take as they stand, and for the
// C1 controls, which would drive a terminal that shows the line.
bool AppendEscaped(std::string& out, char32_t c)
{
    switch (c) {
    case '"': out += "\\\""; return true;
    case '\\': out += "\\\\"; return true;
    case '\n': out += "\\n"; return true;
    case '\t': out += "\\t"; return true;
    case '\r': out += "\\r"; return true;
    default: break;
    }
    if (c < 0x20 || (c >= 0x7F && c <= 0x9F) || (c >= 0xD800 && c <= 0xDFFF)) {
        AppendHexEscape(out, static_cast<std::uint32_t>(c));
        return true;
    }
    return false;
}

void AppendUnsigned(std::string& out, std::uint64_t value)
{
    char digits[24];
    std::snprintf(digits, sizeof digits, "%" PRIu64, value);
    out += digits;
}

void Key(std::string& out, const char* name)
{
    out += '"';
    out += name;
    out += "\":";
}

void Bool(std::string& out, const char* name, bool value)
{
    Key(out, name);
    out += value ? "true" : "false";
}

void Number(std::string& out, const char* name, std::uint64_t value)
{
    Key(out, name);
    AppendUnsigned(out, value);
}

void Time(std::string& out, const char* name, std::uint64_t filetime)
{
    Key(out, name);
    AppendJsonTime(out, filetime);
}

void Reference(std::string& out, const char* name, std::uint64_t recno, std::uint16_t sequence)
{
    Key(out, name);
    out += "{\"record\":";
    AppendUnsigned(out, recno);
    out += ",\"sequence\":";
    AppendUnsigned(out, sequence);
    out += '}';
}

const char* NamespaceName(std::uint16_t name_space)
{
    switch (name_space) {
    case 0: return "posix";
    case 1: return "win32";
    case 2: return "dos";
    case 3: return "win32_and_dos";
    default: return "unknown";
    }
}

bool HasAttribute(const MFTFileRecord& record, std::uint32_t type)
{
    for (const MFTAttrHeader* header : record.attr_header_array) {
        if (header->attr_type == type) {
            return true;
        }
    }
    return false;
}

void AppendStandardInformation(std::string& out, const MFTFileRecord& record)
{
    Key(out, "standard_information");
    if (!HasAttribute(record, kAttrTypeStandardInformation)) {
        out += "null";
        return;
    }
    const MFTStdInfoAttr& info = record.std_info;
    out += '{';
    Time(out, "created", info.create_filetime);
    out += ',';
    Time(out, "modified", info.mod_filetime);
    out += ',';
    Time(out, "mft_modified", info.mft_mod_filetime);
    out += ',';
    Time(out, "accessed", info.access_filetime);
    out += ',';
    Number(out, "flags", info.file_attributes);
    out += ',';
    Number(out, "owner_id", info.owner_id);
    out += ',';
    Number(out, "security_id", info.security_id);
    out += ',';
    Number(out, "usn", info.usn);
    out += '}';
}

void AppendFileNames(std::string& out, const MFTFileRecord& record)
{
    Key(out, "file_names");
    out += '[';
    for (std::size_t i = 0; i < record.file_name_array.size(); ++i) {
        const MFTFileNameAttr& name = *record.file_name_array[i];
        out += i == 0 ? "{" : ",{";
        Key(out, "namespace");
        out += '"';
        out += NamespaceName(name.name_space);
        out += "\",";
        Key(out, "name");
        AppendJsonString(out, name.file_name);
        out += ',';
        Reference(out, "parent", name.parent_recno, name.parent_sequence);
        out += ',';
        Time(out, "created", name.create_filetime);
        out += ',';
        Time(out, "modified", name.mod_filetime);
        out += ',';
        Time(out, "mft_modified", name.mft_mod_filetime);
        out += ',';
        Time(out, "accessed", name.access_filetime);
        out += ',';
        Number(out, "allocated_size", name.alloc_size);
        out += ',';
        Number(out, "real_size", name.real_size);
        out += ',';
        Number(out, "flags", name.name_flags);
        out += '}';
    }
    out += ']';
}

void AppendStreams(std::string& out, const MFTFileRecord& record)
{
    Key(out, "streams");
    out += '[';
    for (std::size_t i = 0; i < record.data_attr_array.size(); ++i) {
        const MFTDataAttr& data = *record.data_attr_array[i];
        out += i == 0 ? "{" : ",{";
        Key(out, "name");
        AppendJsonString(out, data.stream_name);
        out += ',';
        Bool(out, "resident", data.resident != 0);
        out += ',';
        if (data.resident != 0) {
            Number(out, "real_size", data.value_length);
            out += ",\"allocated_size\":null,\"initialized_size\":null";
        } else {
            Number(out, "real_size", data.real_size);
            out += ',';
            Number(out, "allocated_size", data.alloc_size);
            out += ',';
            Number(out, "initialized_size", data.init_size);
        }
        out += '}';
    }
    out += ']';
}

void AppendPath(std::string& out, const WalkedPath* path)
{
    Key(out, "path");
    if (path == nullptr) {
        out += "null,\"path_status\":null";
        return;
    }
    AppendJsonUtf8(out, path->text());
    out += ',';
    Key(out, "path_status");
    switch (path->end()) {
    case WalkedPath::End::kRoot: out += "\"ok\""; break;
    case WalkedPath::End::kOrphan: out += "\"orphan\""; break;
    case WalkedPath::End::kNotStarted: out += "\"unfinished\""; break;
    }
}

// What the times may tell of tools that set them: a $STANDARD_INFORMATION
// created before the $FILE_NAME the report uses was created (a file's
// creation time set back), and four $STANDARD_INFORMATION times without a
// fraction of a second (set by a tool that takes whole seconds).
void AppendTimestompSigns(std::string& out, const MFTFileRecord& record)
{
    Key(out, "timestomp_signs");
    if (!HasAttribute(record, kAttrTypeStandardInformation)) {
        out += "null";
        return;
    }
    const MFTStdInfoAttr& info = record.std_info;
    const MFTFileNameAttr* name = FirstFileName(record);
    out += '{';
    Key(out, "si_created_before_fn_created");
    if (name == nullptr) {
        out += "null";
    } else {
        out += info.create_filetime < name->create_filetime ? "true" : "false";
    }
    out += ',';
    Bool(out, "si_times_whole_seconds",
         info.create_filetime % kTicksPerSecond == 0 && info.mod_filetime % kTicksPerSecond == 0 &&
             info.mft_mod_filetime % kTicksPerSecond == 0 && info.access_filetime % kTicksPerSecond == 0);
    out += '}';
}

void AppendErrors(std::string& out, const Diagnostics* lines)
{
    Key(out, "errors");
    out += '[';
    bool first = true;
    if (lines != nullptr) {
        for (const DiagnosticLine& line : *lines) {
            out += first ? "" : ",";
            first = false;
            const wxString level = line.level == DiagnosticLevel::kError     ? wxS("Error: ")
                                   : line.level == DiagnosticLevel::kWarning ? wxS("Warning: ")
                                                                             : wxString();
            AppendJsonString(out, level + line.text);
        }
    }
    out += ']';
}

// Civil date from days since 1970-01-01 (proleptic Gregorian).
void CivilFromDays(std::int64_t days, std::int64_t& year, unsigned& month, unsigned& day)
{
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const auto day_of_era = static_cast<unsigned>(days - era * 146097);
    const unsigned year_of_era = (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
    const unsigned day_of_year = day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
    const unsigned shifted_month = (5 * day_of_year + 2) / 153;
    day = day_of_year - (153 * shifted_month + 2) / 5 + 1;
    month = shifted_month < 10 ? shifted_month + 3 : shifted_month - 9;
    year = static_cast<std::int64_t>(year_of_era) + era * 400 + (month <= 2 ? 1 : 0);
}

}  // namespace

void AppendJsonTime(std::string& out, std::uint64_t filetime)
{
    if (filetime == 0) {
        out += "null";
        return;
    }
    constexpr std::int64_t kDaysFrom1601To1970 = 134774;
    const std::uint64_t seconds = filetime / kTicksPerSecond;
    const std::uint64_t fraction = filetime % kTicksPerSecond;
    const auto days = static_cast<std::int64_t>(seconds / kSecondsPerDay) - kDaysFrom1601To1970;
    const std::uint64_t second_of_day = seconds % kSecondsPerDay;
    std::int64_t year = 0;
    unsigned month = 0;
    unsigned day = 0;
    CivilFromDays(days, year, month, day);
    char text[48];
    std::snprintf(text, sizeof text, "\"%04" PRId64 "-%02u-%02uT%02u:%02u:%02u.%07" PRIu64 "Z\"", year, month, day,
                  static_cast<unsigned>(second_of_day / 3600), static_cast<unsigned>(second_of_day / 60 % 60),
                  static_cast<unsigned>(second_of_day % 60), fraction);
    out += text;
}

void AppendJsonString(std::string& out, const wxString& text)
{
    const WideView units = ViewOf(text);
    out += '"';
    char utf8[kMaxUtf8PerWideUnit];
    for (std::size_t at = 0; at < units.size();) {
        const char32_t c = NextCodePoint(units, at);
        if (!AppendEscaped(out, c)) {
            out.append(utf8, PutCodePoint(utf8, c > 0x10FFFF ? 0xFFFD : c));
        }
    }
    out += '"';
}

void AppendJsonUtf8(std::string& out, std::string_view utf8)
{
    out += '"';
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto byte = static_cast<unsigned char>(utf8[i]);
        if (byte == 0xC2 && i + 1 < utf8.size() && static_cast<unsigned char>(utf8[i + 1]) <= 0x9F) {
            AppendHexEscape(out, static_cast<unsigned char>(utf8[++i]));  // a C1 control
        } else if (byte >= 0x80 || !AppendEscaped(out, byte)) {
            out += static_cast<char>(byte);
        }
    }
    out += '"';
}

void AppendJsonRecord(std::string& out, const JsonRecordView& view)
{
    const MFTFileRecord& record = *view.record;
    const MFTRecordHeaderFields& header = record.mft_header;
    out += '{';
    Number(out, "record", view.recno);
    out += ',';
    Number(out, "sequence", header.sequence_number);
    out += ',';
    Bool(out, "in_use", (header.record_flags & kRecordInUse) != 0);
    out += ',';
    Bool(out, "directory", (header.record_flags & kRecordIsDirectory) != 0);
    out += ',';
    if (header.base_recno == 0) {
        Key(out, "base_record");
        out += "null";
    } else {
        Reference(out, "base_record", header.base_recno, header.base_sequence);
    }
    out += ',';
    Number(out, "link_count", header.link_count);
    out += ',';
    Bool(out, "decoded", view.decoded);
    out += ',';
    AppendStandardInformation(out, record);
    out += ',';
    AppendFileNames(out, record);
    out += ',';
    AppendStreams(out, record);
    out += ',';
    AppendPath(out, view.path);
    out += ',';
    AppendTimestompSigns(out, record);
    out += ',';
    AppendErrors(out, view.lines);
    out += "}\n";
}
