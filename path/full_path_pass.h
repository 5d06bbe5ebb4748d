#ifndef VARNETH_PATH_FULL_PATH_PASS_H
#define VARNETH_PATH_FULL_PATH_PASS_H

// The pieces of one pass of the full path walk: the checks made before it,
// and the reading and decoding of one record, each with the walk's own
// lines.

#include <cstdint>
#include <vector>

#include <wx/string.h>

#include "base/diagnostics.h"
#include "mft/file_name_choice.h"
#include "mft/mft_file_record.h"
#include "mft/record_source.h"

namespace full_path_pass {

constexpr int kMaxPasses = 50;  // also ends parent chains that loop
// Between the names of a walk's path, and after each name of an unfinished one.
constexpr char kPathSeparator = '\\';

// The two checks made before the walk, each said in diagnostics when it fails.
bool CheckWalkStart(const RecordSource& mft_file, std::uint64_t mft_recno, Diagnostics& diagnostics);

enum class ReadResult {
    kDecoded,     // record holds the decoded record
    kShortRead,   // less than a record: the walk finishes, silently
    kReadFailed,  // the read failed (said by the read): the walk finishes
    kFailed,      // said: the walk returns the path unfinished
};

// Reads the record into buffer (resized to a record) and decodes it into the
// cleared record; the lines of the read, of decoding and the walk's own go
// to diagnostics.
ReadResult ReadRecord(const RecordSource& mft_file, std::uint64_t mft_recno, std::uint64_t current_recno,
                      MFTFileRecord& record, std::vector<unsigned char>& buffer, Diagnostics& diagnostics);

// The root's own name.
inline bool IsRootName(const wxString& name)
{
    return name.length() == 1 && name[0] == wxS('.');
}

// The root folder's record, the only one whose "." ends a walk at the root:
// another record named "." is no folder a path can go through.
constexpr std::uint64_t kRootRecno = 5;
inline bool IsRootRecord(std::uint64_t recno, const wxString& name)
{
    return recno == kRootRecno && IsRootName(name);
}

}  // namespace full_path_pass

#endif
