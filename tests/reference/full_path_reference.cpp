#include "reference/full_path_reference.h"

#include <array>
#include <cstring>

#include "mft/mft_file_record.h"
#include "mft/record_construction.h"

namespace varneth_test {

namespace {

const MFTFileNameAttr* FirstUsableName(const MFTFileRecord& record)
{
    for (const MFTFileNameAttr* name : record.file_name_array) {
        if (name->name_space != kNameSpaceDos && !name->file_name.empty()) {
            return name;
        }
    }
    return nullptr;
}

// Reads the record into the cleared record object; false when the walk
// ends here (finished after a short read, else unfinished and said).
bool ReadAndDecode(wxFile& mft_file, std::uint64_t mft_recno, std::uint64_t current, MFTFileRecord& record,
                   bool& finished, Diagnostics& diagnostics)
{
    std::array<unsigned char, 1024> buffer{};
    record.Clear();
    finished = false;
    if (mft_file.Seek(static_cast<wxFileOffset>(current * 1024)) == wxInvalidOffset) {
        diagnostics.Error(wxS("GetFullPathString() - error on Seek() in MFT file."));
        return false;
    }
    if (mft_file.Read(buffer.data(), 1024) != 1024) {
        finished = true;
        return false;
    }
    if (std::memcmp(buffer.data(), "FILE", 4) != 0) {
        diagnostics.Warning(wxS("GetFullPathString() - Invalid MFT magic in MFT file record."));
        return false;
    }
    if (CreateMFTFileRecord(buffer.data(), &record, mft_recno, diagnostics) != 0) {
        diagnostics.Error(wxS("GetFullPathString() - Error creating MFTFileRecord."));
        return false;
    }
    return true;
}

// Every name in front of the path, each followed by a separator; true when
// the walk finished (root, 50 passes, short read), false when cut short.
bool Walk(wxFile& mft_file, std::uint64_t mft_recno, wxString& path, Diagnostics& diagnostics)
{
    MFTFileRecord record;
    std::uint64_t current = mft_recno;
    for (int pass = 0; pass < 50; ++pass) {
        bool finished = false;
        if (!ReadAndDecode(mft_file, mft_recno, current, record, finished, diagnostics)) {
            return finished;
        }
        if (record.file_name_array.empty()) {
            return false;
        }
        const MFTFileNameAttr* name = FirstUsableName(record);
        if (name == nullptr) {
            continue;
        }
        path = name->file_name + wxS("\\") + path;
        current = name->parent_recno;
        if (name->file_name == wxS(".")) {
            path.erase(0, 1);
            return true;
        }
    }
    return true;
}

}  // namespace

wxString ReferenceFullPath(wxFile& mft_file, std::uint64_t mft_recno, Diagnostics& diagnostics)
{
    if (!mft_file.IsOpened()) {
        diagnostics.Error(wxS("GetFullPathString() - passed in MFT file is not opened."));
        return wxString();
    }
    const wxFileOffset length = mft_file.Length();
    if (length < 0 || mft_recno > static_cast<std::uint64_t>(length) / 1024) {
        diagnostics.Error(wxS("GetFullPathString() - passed in mft_recno is greater than record count."));
        return wxString();
    }
    const wxFileOffset position = mft_file.Tell();
    wxString path;
    if (Walk(mft_file, mft_recno, path, diagnostics)) {
        if (!path.empty()) {
            path.RemoveLast();
        }
        if (path.empty()) {
            path = wxS("\\");
        }
    }
    if (position != wxInvalidOffset) {
        mft_file.Seek(position);
    }
    return path;
}

}  // namespace varneth_test
