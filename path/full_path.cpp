#include "path/full_path.h"

#include "path/full_path_pass.h"

using namespace full_path_pass;

namespace {

enum class PassResult { kNextPass, kFinish, kUnfinished };

// Reads the current record and puts its name in front of the path.
PassResult WalkOnePass(wxFile& mft_file, std::uint64_t mft_recno, std::uint64_t& current_recno,
                       MFTFileRecord& record, RecordBuffer& buffer, wxString& path)
{
    const ReadResult read = ReadRecord(mft_file, mft_recno, current_recno, record, buffer);
    if (read != ReadResult::kDecoded) {
        return read == ReadResult::kFailed ? PassResult::kUnfinished : PassResult::kFinish;
    }
    if (record.file_name_array.empty()) {
        return PassResult::kUnfinished;
    }
    const MFTFileNameAttr* name = PathFileName(record);
    if (name == nullptr) {
        return PassResult::kNextPass;  // the same record is read again
    }
    path.insert(0, 1, kSeparator);
    path.insert(0, name->file_name);
    current_recno = name->parent_recno;
    if (IsRootName(name->file_name)) {
        path.erase(0, 1);  // the root's "." leaves its separator in front
        return PassResult::kFinish;
    }
    return PassResult::kNextPass;
}

// Drops the separator after the last name; nothing left means the root.
wxString FinishedPath(wxString path)
{
    if (!path.empty()) {
        path.RemoveLast();
    }
    if (path.empty()) {
        path = wxString(kSeparator);
    }
    return path;
}

}  // namespace

wxString GetFullPathString(wxFile& mft_file, std::uint64_t mft_recno)
{
    if (!CheckWalkStart(mft_file, mft_recno)) {
        return wxString();
    }
    const FilePositionKeeper keeper(mft_file);
    MFTFileRecord record;
    RecordBuffer buffer{};
    wxString path;
    std::uint64_t current_recno = mft_recno;
    for (int pass = 0; pass < kMaxPasses; ++pass) {
        const PassResult result = WalkOnePass(mft_file, mft_recno, current_recno, record, buffer, path);
        if (result == PassResult::kUnfinished) {
            return path;
        }
        if (result == PassResult::kFinish) {
            break;
        }
    }
    return FinishedPath(path);
}
