#ifndef VARNETH_REPORT_JSON_RECORD_H
#define VARNETH_REPORT_JSON_RECORD_H

// One record as one line of JSON (JSON Lines): every field the record holds,
// times to the 100 ns NTFS stores, sequence numbers and parent references,
// every name and stream, the path and how its walk ended, the signs of
// altered times, and the lines its decoding gave. The shape is published in
// doc/varneth-record.schema.json.

#include <cstdint>
#include <string>

#include <wx/string.h>

#include "base/diagnostics.h"
#include "mft/mft_file_record.h"
#include "path/walked_path.h"

struct JsonRecordView {
    std::uint64_t recno = 0;
    const MFTFileRecord* record = nullptr;  // as far as decoding got
    bool decoded = false;                   // decoding succeeded
    const WalkedPath* path = nullptr;       // none: no path was walked (no name, an extension record)
    const Diagnostics* lines = nullptr;     // what reading, decoding and the walk said of it
};

// Appends the record's line, line feed included.
void AppendJsonRecord(std::string& out, const JsonRecordView& view);

// "2019-01-22T16:53:37.1234567Z"; FILETIME 0 (never set) is null.
void AppendJsonTime(std::string& out, std::uint64_t filetime);

// A JSON string of the text: quotes, backslashes and control characters
// escaped, a lone surrogate kept as its \u escape, the rest as UTF-8.
void AppendJsonString(std::string& out, const wxString& text);

// The same for text that is UTF-8 already.
void AppendJsonUtf8(std::string& out, std::string_view utf8);

#endif
