#ifndef VARNETH_PATH_FULL_PATH_PASS_H
#define VARNETH_PATH_FULL_PATH_PASS_H

// The pieces of one pass of the full path walk, shared by the plain walk and
// the cached one so that both read, decode and log exactly alike.

#include <array>
#include <cstdint>

#include <wx/file.h>
#include <wx/string.h>

#include "mft/file_name_choice.h"
#include "mft/mft_file_record.h"
#include "mft/record_buffer.h"

namespace full_path_pass {

constexpr int kMaxPasses = 50;  // also ends parent chains that loop
constexpr wxStringCharType kSeparator = wxS('\\');

using RecordBuffer = std::array<unsigned char, kMftRecordSize>;

// Puts the shared file back where the caller's sequential reads expect it.
class FilePositionKeeper {
public:
    explicit FilePositionKeeper(wxFile& file) : file_(file), position_(file.Tell()) {}
    ~FilePositionKeeper()
    {
        if (position_ != wxInvalidOffset) {
            file_.Seek(position_, wxFromStart);
        }
    }
    FilePositionKeeper(const FilePositionKeeper&) = delete;
    FilePositionKeeper& operator=(const FilePositionKeeper&) = delete;

private:
    wxFile& file_;
    wxFileOffset position_;
};

// The two checks made before the walk, each logged when it fails.
bool CheckWalkStart(wxFile& mft_file, std::uint64_t mft_recno);

enum class ReadResult {
    kDecoded,     // record holds the decoded record
    kShortRead,   // fewer than 1024 bytes: the walk finishes, silently
    kReadFailed,  // the read failed (the file library logs it): the walk finishes
    kFailed,      // logged: the walk returns the path unfinished
};

// Seeks to the record, reads it and decodes it into the cleared record.
ReadResult ReadRecord(wxFile& mft_file, std::uint64_t mft_recno, std::uint64_t current_recno,
                      MFTFileRecord& record, RecordBuffer& buffer);

// The root's own name, which ends the walk.
inline bool IsRootName(const wxString& name)
{
    return name.length() == 1 && name[0] == wxS('.');
}

}  // namespace full_path_pass

#endif
