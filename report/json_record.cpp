#include "report/json_record.h"

#include <cstdint>
#include <cstring>

#include "mft/attribute_walk.h"
#include "mft/file_name_choice.h"
#include "text/digits.h"
#include "text/utf8_text.h"

namespace {

constexpr std::uint64_t kTicksPerSecond = 10000000;
constexpr std::uint64_t kSecondsPerDay = 86400;
// The most bytes one character of a name takes in JSON: "\u001b" (a unit
// of UTF-8 takes at most 4).
constexpr std::size_t kMaxJsonPerUnit = 6;
// The most bytes of a line besides its texts: its keys, numbers and times,
// and those of each name and stream.
constexpr std::size_t kRecordFrame = 1024;
constexpr std::size_t kNameFrame = 640;
constexpr std::size_t kStreamFrame = 256;
constexpr std::size_t kErrorFrame = 96;  // its level's word, escaped at worst
// Numbers and dates are copied as blocks of a fixed size, which may reach
// this far past their end (the next piece writes over it).
constexpr std::size_t kBlockSlack = 32;

// Writes a line into room made for it beforehand (Bound), without a check
// or a call for each piece: a run writes a line for every record.
class JsonWriter {
public:
    explicit JsonWriter(char* at) : at_(at) {}
    char* end() const { return at_; }

    template <std::size_t N>
    void Raw(const char (&text)[N])
    {
        std::memcpy(at_, text, N - 1);
        at_ += N - 1;
    }
    void Char(char c) { *at_++ = c; }
    // ,"name":
    template <std::size_t N>
    void Key(const char (&name)[N])
    {
        *at_++ = '"';
        Raw(name);
        *at_++ = '"';
        *at_++ = ':';
    }
    void Unsigned(std::uint64_t value) { at_ = PutNumber(at_, value); }
    void Bool(bool value)
    {
        if (value) {
            Raw("true");
        } else {
            Raw("false");
        }
    }
    void Time(std::uint64_t filetime);
    void String(const wxString& text);
    void Utf8(std::string_view utf8);
    void Reference(std::uint64_t recno, std::uint16_t sequence)
    {
        Raw("{\"record\":");
        Unsigned(recno);
        Raw(",\"sequence\":");
        Unsigned(sequence);
        Char('}');
    }

private:
    static char* PutTwoDigits(char* out, unsigned value)  // 0 to 99
    {
        std::memcpy(out, digits_detail::kDigitPairs.text + 2 * value, 2);
        return out + 2;
    }
    void HexEscape(std::uint32_t unit)
    {
        static constexpr char kHex[] = "0123456789abcdef";
        Raw("\\u");
        *at_++ = kHex[(unit >> 12) & 0xF];
        *at_++ = kHex[(unit >> 8) & 0xF];
        *at_++ = kHex[(unit >> 4) & 0xF];
        *at_++ = kHex[unit & 0xF];
    }
    // An escape for the characters JSON does not take as they stand, and for
    // the C1 controls, which would drive a terminal that shows the line.
    bool Escaped(char32_t c)
    {
        switch (c) {
        case '"': Raw("\\\""); return true;
        case '\\': Raw("\\\\"); return true;
        case '\n': Raw("\\n"); return true;
        case '\t': Raw("\\t"); return true;
        case '\r': Raw("\\r"); return true;
        default: break;
        }
        if (c < 0x20 || (c >= 0x7F && c <= 0x9F) || (c >= 0xD800 && c <= 0xDFFF)) {
            HexEscape(static_cast<std::uint32_t>(c));
            return true;
        }
        return false;
    }

    char* at_;
    // The date part of the last time written ("2019-01-22T"), and its day.
    std::int64_t date_day_ = INT64_MIN;
    char date_[24] = {};
    std::size_t date_length_ = 0;
};

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

// "YYYY-MM-DDTHH:MM:SS.FFFFFFFZ" in quotes (years past 9999 take a fifth
// digit); 0, never set, is null.
void JsonWriter::Time(std::uint64_t filetime)
{
    if (filetime == 0) {
        Raw("null");
        return;
    }
    constexpr std::int64_t kDaysFrom1601To1970 = 134774;
    const std::uint64_t seconds = filetime / kTicksPerSecond;
    const auto days = static_cast<std::int64_t>(seconds / kSecondsPerDay) - kDaysFrom1601To1970;
    const auto second_of_day = static_cast<unsigned>(seconds % kSecondsPerDay);
    // A record's times mostly fall on one day: its date is made once.
    if (days != date_day_) {
        std::int64_t year = 0;
        unsigned month = 0;
        unsigned day = 0;
        CivilFromDays(days, year, month, day);
        char* date = PutDigits(date_, static_cast<std::uint64_t>(year), 4);
        *date++ = '-';
        date = PutTwoDigits(date, month);
        *date++ = '-';
        date = PutTwoDigits(date, day);
        *date++ = 'T';
        date_length_ = static_cast<std::size_t>(date - date_);
        date_day_ = days;
    }
    *at_++ = '"';
    std::memcpy(at_, date_, sizeof date_);
    at_ += date_length_;
    at_ = PutTwoDigits(at_, second_of_day / 3600);
    *at_++ = ':';
    at_ = PutTwoDigits(at_, second_of_day / 60 % 60);
    *at_++ = ':';
    at_ = PutTwoDigits(at_, second_of_day % 60);
    *at_++ = '.';
    const auto fraction = static_cast<unsigned>(filetime % kTicksPerSecond);
    *at_++ = static_cast<char>('0' + fraction / 1000000);
    at_ = PutTwoDigits(at_, fraction / 10000 % 100);
    at_ = PutTwoDigits(at_, fraction / 100 % 100);
    at_ = PutTwoDigits(at_, fraction % 100);
    *at_++ = 'Z';
    *at_++ = '"';
}

// Quotes, backslashes and controls escaped, a lone surrogate kept as its
// \u escape, the rest as UTF-8.
void JsonWriter::String(const wxString& text)
{
    const WideView units = ViewOf(text);
    *at_++ = '"';
    for (std::size_t at = 0; at < units.size();) {
        const auto unit = static_cast<std::uint32_t>(units[at]);
        if (unit >= 0x20 && unit < 0x7F && unit != '"' && unit != '\\') {  // most names: plain ASCII
            *at_++ = static_cast<char>(unit);
            ++at;
            continue;
        }
        const char32_t c = NextCodePoint(units, at);
        if (!Escaped(c)) {
            at_ = PutCodePoint(at_, c > 0x10FFFF ? 0xFFFD : c);
        }
    }
    *at_++ = '"';
}

// The bytes of UTF-8 that a JSON string takes as they stand: all but the
// controls, the quote, the backslash, DEL and 0xC2, the lead byte of the C1
// controls (and of other characters, which are then copied one by one).
struct PlainBytes {
    bool plain[256];
    constexpr PlainBytes() : plain()
    {
        for (int byte = 0; byte < 256; ++byte) {
            plain[byte] = byte >= 0x20 && byte != '"' && byte != '\\' && byte != 0x7F && byte != 0xC2;
        }
    }
};
constexpr PlainBytes kPlainBytes;

void JsonWriter::Utf8(std::string_view utf8)
{
    *at_++ = '"';
    const char* from = utf8.data();
    const char* const end = from + utf8.size();
    while (from < end) {
        // A path is mostly plain: it is copied a stretch at a time.
        const char* stop = from;
        while (stop < end && kPlainBytes.plain[static_cast<unsigned char>(*stop)]) {
            ++stop;
        }
        std::memcpy(at_, from, static_cast<std::size_t>(stop - from));
        at_ += stop - from;
        if (stop == end) {
            break;
        }
        const auto byte = static_cast<unsigned char>(*stop);
        from = stop + 1;
        if (byte == 0xC2 && from < end && static_cast<unsigned char>(*from) <= 0x9F) {
            HexEscape(static_cast<unsigned char>(*from++));  // a C1 control
        } else if (byte >= 0x80 || !Escaped(byte)) {
            *at_++ = static_cast<char>(byte);
        }
    }
    *at_++ = '"';
}

const char* NamespaceName(std::uint16_t name_space)
{
    switch (name_space) {
    case 0: return "\"posix\"";
    case 1: return "\"win32\"";
    case 2: return "\"dos\"";
    case 3: return "\"win32_and_dos\"";
    default: return "\"unknown\"";
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

// Room enough for the record's line.
std::size_t Bound(const JsonRecordView& view)
{
    const MFTFileRecord& record = *view.record;
    std::size_t bound = kRecordFrame + kBlockSlack;
    for (const MFTFileNameAttr* name : record.file_name_array) {
        bound += kNameFrame + kMaxJsonPerUnit * name->file_name.length();
    }
    for (const MFTDataAttr* data : record.data_attr_array) {
        bound += kStreamFrame + kMaxJsonPerUnit * data->stream_name.length();
    }
    if (view.path != nullptr) {
        bound += kMaxJsonPerUnit * view.path->text().size();
    }
    if (view.lines != nullptr) {
        for (const DiagnosticLine& line : *view.lines) {
            bound += kErrorFrame + kMaxJsonPerUnit * line.text.length();
        }
    }
    return bound;
}

// The four times that $STANDARD_INFORMATION and $FILE_NAME each hold, under
// the same names in both.
template <typename Attribute>
void WriteFourTimes(JsonWriter& out, const Attribute& times)
{
    out.Raw("\"created\":");
    out.Time(times.create_filetime);
    out.Raw(",\"modified\":");
    out.Time(times.mod_filetime);
    out.Raw(",\"mft_modified\":");
    out.Time(times.mft_mod_filetime);
    out.Raw(",\"accessed\":");
    out.Time(times.access_filetime);
}

void WriteStandardInformation(JsonWriter& out, const MFTFileRecord& record)
{
    out.Key("standard_information");
    if (!HasAttribute(record, kAttrTypeStandardInformation)) {
        out.Raw("null");
        return;
    }
    const MFTStdInfoAttr& info = record.std_info;
    out.Char('{');
    WriteFourTimes(out, info);
    out.Raw(",\"flags\":");
    out.Unsigned(info.file_attributes);
    out.Raw(",\"owner_id\":");
    out.Unsigned(info.owner_id);
    out.Raw(",\"security_id\":");
    out.Unsigned(info.security_id);
    out.Raw(",\"usn\":");
    out.Unsigned(info.usn);
    out.Char('}');
}

void WriteFileNames(JsonWriter& out, const MFTFileRecord& record)
{
    out.Raw(",\"file_names\":[");
    for (std::size_t i = 0; i < record.file_name_array.size(); ++i) {
        const MFTFileNameAttr& name = *record.file_name_array[i];
        if (i > 0) {
            out.Char(',');
        }
        out.Raw("{\"namespace\":");
        const char* name_space = NamespaceName(name.name_space);
        while (*name_space != '\0') {
            out.Char(*name_space++);
        }
        out.Raw(",\"name\":");
        out.String(name.file_name);
        out.Raw(",\"parent\":");
        out.Reference(name.parent_recno, name.parent_sequence);
        out.Char(',');
        WriteFourTimes(out, name);
        out.Raw(",\"allocated_size\":");
        out.Unsigned(name.alloc_size);
        out.Raw(",\"real_size\":");
        out.Unsigned(name.real_size);
        out.Raw(",\"flags\":");
        out.Unsigned(name.file_attributes);
        out.Char('}');
    }
    out.Char(']');
}

void WriteStreams(JsonWriter& out, const MFTFileRecord& record)
{
    out.Raw(",\"streams\":[");
    for (std::size_t i = 0; i < record.data_attr_array.size(); ++i) {
        const MFTDataAttr& data = *record.data_attr_array[i];
        if (i > 0) {
            out.Char(',');
        }
        out.Raw("{\"name\":");
        out.String(data.stream_name);
        out.Raw(",\"resident\":");
        out.Bool(data.resident != 0);
        out.Raw(",\"real_size\":");
        if (data.resident != 0) {
            out.Unsigned(data.value_length);
            out.Raw(",\"allocated_size\":null,\"initialized_size\":null}");
            continue;
        }
        out.Unsigned(data.real_size);
        out.Raw(",\"allocated_size\":");
        out.Unsigned(data.alloc_size);
        out.Raw(",\"initialized_size\":");
        out.Unsigned(data.init_size);
        out.Char('}');
    }
    out.Char(']');
}

void WritePath(JsonWriter& out, const WalkedPath* path)
{
    out.Raw(",\"path\":");
    if (path == nullptr) {
        out.Raw("null,\"path_status\":null");
        return;
    }
    out.Utf8(path->text());
    switch (path->end()) {
    case WalkedPath::End::kRoot: out.Raw(",\"path_status\":\"ok\""); break;
    case WalkedPath::End::kOrphan: out.Raw(",\"path_status\":\"orphan\""); break;
    case WalkedPath::End::kNotStarted: out.Raw(",\"path_status\":\"unfinished\""); break;
    }
}

// What the times may tell of tools that set them: a $STANDARD_INFORMATION
// created before the $FILE_NAME the report uses was created (a file's
// creation time set back), and $STANDARD_INFORMATION times without a
// fraction of a second (set by a tool that takes whole seconds). A time
// never set (0) tells nothing of either: it is compared with nothing, and
// has no fraction to lack.
void WriteTimestompSigns(JsonWriter& out, const MFTFileRecord& record)
{
    out.Raw(",\"timestomp_signs\":");
    if (!HasAttribute(record, kAttrTypeStandardInformation)) {
        out.Raw("null");
        return;
    }
    const MFTStdInfoAttr& info = record.std_info;
    const MFTFileNameAttr* name = FirstFileName(record);
    out.Raw("{\"si_created_before_fn_created\":");
    if (name == nullptr || info.create_filetime == 0 || name->create_filetime == 0) {
        out.Raw("null");
    } else {
        out.Bool(info.create_filetime < name->create_filetime);
    }
    out.Raw(",\"si_times_whole_seconds\":");
    const std::uint64_t times[] = {info.create_filetime, info.mod_filetime, info.mft_mod_filetime,
                                   info.access_filetime};
    bool any_set = false;
    bool whole = true;
    for (const std::uint64_t time : times) {
        any_set = any_set || time != 0;
        whole = whole && time % kTicksPerSecond == 0;
    }
    if (any_set) {
        out.Bool(whole);
    } else {
        out.Raw("null");
    }
    out.Char('}');
}

void WriteErrors(JsonWriter& out, const Diagnostics* lines)
{
    out.Raw(",\"errors\":[");
    bool first = true;
    if (lines != nullptr) {
        for (const DiagnosticLine& line : *lines) {
            if (!first) {
                out.Char(',');
            }
            first = false;
            const wxString level = line.level == DiagnosticLevel::kError     ? wxS("Error: ")
                                   : line.level == DiagnosticLevel::kWarning ? wxS("Warning: ")
                                                                             : wxString();
            out.String(level + line.text);
        }
    }
    out.Char(']');
}

// Writes into room made at the end of out, then gives back what was not used.
template <typename Write>
void AppendWithin(std::string& out, std::size_t bound, Write write)
{
    const std::size_t start = out.size();
    out.resize(start + bound);
    JsonWriter writer(&out[start]);
    write(writer);
    out.resize(static_cast<std::size_t>(writer.end() - out.data()));
}

}  // namespace

void AppendJsonTime(std::string& out, std::uint64_t filetime)
{
    AppendWithin(out, 64 + kBlockSlack, [filetime](JsonWriter& writer) { writer.Time(filetime); });
}

void AppendJsonString(std::string& out, const wxString& text)
{
    AppendWithin(out, 2 + kMaxJsonPerUnit * text.length(), [&text](JsonWriter& writer) { writer.String(text); });
}

void AppendJsonUtf8(std::string& out, std::string_view utf8)
{
    AppendWithin(out, 2 + kMaxJsonPerUnit * utf8.size(), [utf8](JsonWriter& writer) { writer.Utf8(utf8); });
}

void AppendJsonRecord(std::string& out, const JsonRecordView& view)
{
    AppendWithin(out, Bound(view), [&view](JsonWriter& out) {
        const MFTFileRecord& record = *view.record;
        const MFTRecordHeaderFields& header = record.mft_header;
        out.Raw("{\"record\":");
        out.Unsigned(view.recno);
        out.Raw(",\"sequence\":");
        out.Unsigned(header.sequence_number);
        out.Raw(",\"in_use\":");
        out.Bool((header.record_flags & kRecordInUse) != 0);
        out.Raw(",\"directory\":");
        out.Bool((header.record_flags & kRecordIsDirectory) != 0);
        out.Raw(",\"base_record\":");
        if (IsExtensionRecord(header)) {
            out.Reference(header.base_recno, header.base_sequence);
        } else {
            out.Raw("null");
        }
        out.Raw(",\"link_count\":");
        out.Unsigned(header.link_count);
        out.Raw(",\"decoded\":");
        out.Bool(view.decoded);
        out.Char(',');
        WriteStandardInformation(out, record);
        WriteFileNames(out, record);
        WriteStreams(out, record);
        WritePath(out, view.path);
        WriteTimestompSigns(out, record);
        WriteErrors(out, view.lines);
        out.Raw("}\n");
    });
}
