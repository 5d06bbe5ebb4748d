#ifndef VARNETH_FUZZ_ENTRIES_RECORD_ENTRY_H
#define VARNETH_FUZZ_ENTRIES_RECORD_ENTRY_H

// One fuzz input as a small $MFT held in memory, its records of the size
// that its record 0 tells (1024 or 4096, as the tool decides): every record through
// decoding, and every record that decodes through the path walk (over the
// same in-memory file), the report rows and a name list, as the driver would
// call them; the byte at offset 8 picks the rows' format and the list.

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include <wx/file.h>

#include "base/diagnostics.h"
#include "fuzz/entries/findings.h"
#include "mft/byte_reader.h"
#include "mft/extension_records.h"
#include "mft/mft_file_record.h"
#include "mft/record_buffer.h"
#include "mft/record_construction.h"
#include "mft/record_header.h"
#include "mft/record_size.h"
#include "path/full_path.h"
#include "report/name_lists.h"
#include "report/report_columns.h"
#include "report/report_rows.h"
#include "text/utf8_text.h"

namespace fuzz_entry {

// 16 records of 1024 bytes, 4 of 4096.
constexpr std::size_t kMaxInputBytes = 16 * kMftRecordSize;

// The input as whole records, the last one padded with zeros.
inline std::vector<unsigned char> AsRecords(const std::uint8_t* data, std::size_t size, std::size_t record_size)
{
    size = std::min(size, kMaxInputBytes);
    const std::size_t count = std::max<std::size_t>(1, (size + record_size - 1) / record_size);
    std::vector<unsigned char> image(count * record_size, 0);
    if (size > 0) {
        std::memcpy(image.data(), data, size);
    }
    return image;
}

// An unnamed in-memory file holding the image, attached to file.
inline bool OpenMemoryFile(const std::vector<unsigned char>& image, wxFile& file)
{
    const int fd = memfd_create("varneth-fuzz", MFD_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    if (write(fd, image.data(), image.size()) != static_cast<ssize_t>(image.size())) {
        close(fd);
        return false;
    }
    file.Attach(fd);
    return true;
}

inline std::size_t CountOf(const wxString& text, wxStringCharType wanted)
{
    return static_cast<std::size_t>(std::count(text.wx_str(), text.wx_str() + text.length(), wanted));
}

inline bool HasControlCharacter(const wxString& text)
{
    return std::any_of(text.begin(), text.end(), [](wxUniChar c) { return c.GetValue() < 0x20; });
}

// Each line is one TSV line of its format: as many TABs as that format's
// header (header_tabs), one LF, at its end.
inline void CheckRows(const wxArrayString& rows, std::size_t header_tabs, Findings& findings)
{
    for (const wxString& row : rows) {
        std::size_t tabs = 0;
        std::size_t line_feeds = 0;
        for (const wxStringCharType c : ViewOf(row)) {
            tabs += c == '\t' ? 1 : 0;
            line_feeds += c == '\n' ? 1 : 0;
        }
        findings.Expect(!row.empty() && row.Last() == '\n' && line_feeds == 1,
                        "a report line ends in its only line feed");
        findings.Expect(tabs == header_tabs, "a report line has the header's columns");
    }
}

inline void CheckNames(const wxArrayString& names, Findings& findings)
{
    for (const wxString& name : names) {
        findings.Expect(!HasControlCharacter(name), "a listed name holds no control character");
    }
}

// What an input's rows and name list are made as: picked by the byte at
// offset 8 (the low byte of record 0's log sequence number, which decoding
// never reads), so that the fuzzer reaches every format and both lists
// while each input makes only one of each.
constexpr std::size_t kChoiceByte = 8;
constexpr std::size_t kFormats = 3;  // default, long, short

struct OutputChoice {
    std::size_t format = 0;
    bool streams_only = false;
};

inline OutputChoice ChoiceOf(const std::uint8_t* data, std::size_t size)
{
    const std::uint8_t byte = ByteReader(data, size).U8At(kChoiceByte);  // 0 past the end
    return OutputChoice{byte % kFormats, (byte / kFormats) % 2 == 1};
}

inline void CheckRowsInFormat(MFTFileRecord& record, const wxString& full_path, std::size_t format,
                              Diagnostics& diagnostics, Findings& findings)
{
    constexpr ReportFormat kReportFormats[kFormats] = {ReportFormat::kDefault, ReportFormat::kLong,
                                                       ReportFormat::kShort};
    // Each header's columns, counted once per process.
    static std::size_t header_tabs[kFormats] = {};
    static bool counted[kFormats] = {};
    if (!counted[format]) {
        header_tabs[format] = CountOf(GetReportHeaderString(kReportFormats[format]), '\t');
        counted[format] = true;
    }
    CheckRows(GetMFTRecordTabStringArr(&record, full_path, kReportFormats[format], wxS("localhost"), diagnostics),
              header_tabs[format], findings);
}

// The path walk reads by positioned reads only: the file position is left
// as found.
inline wxString CheckedFullPath(wxFile& file, std::uint64_t recno, std::size_t record_size, Diagnostics& diagnostics,
                                Findings& findings)
{
    file.Seek(static_cast<wxFileOffset>((recno + 1) * record_size), wxFromStart);
    const wxFileOffset before = file.Tell();
    const wxString path = GetFullPathString(file, recno, diagnostics, record_size);
    findings.Expect(file.Tell() == before, "the path walk leaves the file position as found");
    return path;
}

template <typename T>
bool StartsWith(const std::vector<T*>& whole, const std::vector<T*>& start)
{
    return whole.size() >= start.size() && std::equal(start.begin(), start.end(), whole.begin());
}

// A base record with an attribute list gains its extension records'
// attributes after its own, which stay as they were.
inline void CheckExtensionRecords(const unsigned char* buffer, MFTFileRecord& record,
                                  ExtensionRecordReader& extensions, Diagnostics& diagnostics, Findings& findings)
{
    if (record.mft_header.base_recno != 0) {
        return;
    }
    const std::vector<MFTFileNameAttr*> own_names = record.file_name_array;
    const std::vector<MFTDataAttr*> own_data = record.data_attr_array;
    extensions.AddExtensionRecords(buffer, record, diagnostics);
    findings.Expect(StartsWith(record.file_name_array, own_names) && StartsWith(record.data_attr_array, own_data),
                    "a record's own names and streams come first, unchanged");
}

inline void FuzzOneRecord(const std::vector<unsigned char>& image, std::size_t index, std::size_t record_size,
                          OutputChoice choice, wxFile& file, ExtensionRecordReader& extensions,
                          Diagnostics& diagnostics, Findings& findings)
{
    // A heap block of exactly the record size: any access past it is caught.
    std::unique_ptr<unsigned char[]> buffer(new unsigned char[record_size]);
    std::memcpy(buffer.get(), image.data() + index * record_size, record_size);
    // The attribute walk visits at most next_attr_id attributes.
    const std::size_t visit_limit = ByteReader(buffer.get(), record_size).U16At(record_header_field::kNextAttrId);
    MFTFileRecord record;
    const int result = CreateMFTFileRecord(buffer.get(), &record, index, diagnostics, record_size);
    findings.Expect(result == 0 || result == -1, "decoding returns 0 or -1");
    findings.Expect(record.attr_header_array.size() <= visit_limit, "the walk keeps at most next_attr_id headers");
    if (result != 0) {
        return;
    }
    CheckExtensionRecords(buffer.get(), record, extensions, diagnostics, findings);
    const wxString full_path = CheckedFullPath(file, index, record_size, diagnostics, findings);
    CheckRowsInFormat(record, full_path, choice.format, diagnostics, findings);
    CheckNames(GetMFTRecordWin32FileName(&record, choice.streams_only, diagnostics), findings);
}

// Record numbers at and past the end of the file.
inline void CheckPathBounds(wxFile& file, std::uint64_t count, std::size_t record_size, Findings& findings)
{
    Diagnostics diagnostics;
    findings.Expect(GetFullPathString(file, count, diagnostics, record_size) == wxS("\\$OrphanFiles"),
                    "the record at the end, which cannot be read, is an orphan without names");
    findings.Expect(GetFullPathString(file, count + 1, diagnostics, record_size).empty(),
                    "a record past the end has no path");
    findings.Expect(GetFullPathString(file, UINT64_MAX, diagnostics, record_size).empty(),
                    "the largest record number has no path");
}

// The first promise that did not hold, or an empty text.
inline std::string FuzzRecords(const std::uint8_t* data, std::size_t size)
{
    Findings findings;
    ScopedDiscardLog quiet;  // every level let through
    Diagnostics diagnostics;  // each record's lines, dropped: what they say is checked elsewhere
    const std::size_t record_size = RecordSizeOfFirstRecord(ByteReader(data, size));
    const std::vector<unsigned char> image = AsRecords(data, size, record_size);
    wxFile file;
    if (!OpenMemoryFile(image, file)) {
        return findings.First();  // no file to walk: nothing to learn
    }
    const std::size_t count = image.size() / record_size;
    const OutputChoice choice = ChoiceOf(data, size);
    const RecordSource source(file.fd(), record_size);
    const ExtensionRecordIndex extension_index(source, count);
    ExtensionRecordReader extensions(source, extension_index);
    for (std::size_t index = 0; index < count; ++index) {
        FuzzOneRecord(image, index, record_size, choice, file, extensions, diagnostics, findings);
        diagnostics.clear();
    }
    CheckPathBounds(file, count, record_size, findings);
    return findings.First();
}

}  // namespace fuzz_entry

#endif
