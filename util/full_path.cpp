#include "util/full_path.h"

#include <array>
#include <cstring>

#include "app/log_message.h"
#include "mft/mft_file_record.h"
#include "mft/record_construction.h"

namespace {

constexpr std::uint64_t kRecordSize = 1024;
constexpr int kMaxPasses = 50;  // also ends parent chains that loop
constexpr wxStringCharType kSeparator = wxS('\\');

using RecordBuffer = std::array<unsigned char, kRecordSize>;

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

enum class PassResult { kNextPass, kFinish, kUnfinished };

// mft_recno * 1024 <= length, without the product overflowing.
bool RecordWithinFile(wxFile& mft_file, std::uint64_t mft_recno)
{
    const wxFileOffset length = mft_file.Length();
    return length >= 0 && mft_recno <= static_cast<std::uint64_t>(length) / kRecordSize;
}

// The first name that is neither a DOS name nor empty; null when none is.
const MFTFileNameAttr* ChoosePathName(const MFTFileRecord& record)
{
    for (const MFTFileNameAttr* name : record.file_name_array) {
        if (name != nullptr && name->name_space != kNameSpaceDos && !name->file_name.empty()) {
            return name;
        }
    }
    return nullptr;
}

// Reads the current record and puts its name in front of the path.
PassResult WalkOnePass(wxFile& mft_file, std::uint64_t mft_recno, std::uint64_t& current_recno,
                       MFTFileRecord& record, RecordBuffer& buffer, wxString& path)
{
    record.Clear();
    // A parent number has 48 bits, so the offset fits wxFileOffset.
    if (mft_file.Seek(static_cast<wxFileOffset>(current_recno * kRecordSize), wxFromStart) == wxInvalidOffset) {
        LogErrorText(wxS("GetFullPathString() - error on Seek() in MFT file."));
        return PassResult::kUnfinished;
    }
    if (mft_file.Read(buffer.data(), kRecordSize) != static_cast<ssize_t>(kRecordSize)) {
        return PassResult::kFinish;
    }
    if (std::memcmp(buffer.data(), "FILE", 4) != 0) {
        LogWarningText(wxS("GetFullPathString() - Invalid MFT magic in MFT file record."));
        return PassResult::kUnfinished;
    }
    if (CreateMFTFileRecord(buffer.data(), &record, mft_recno) != 0) {
        LogErrorText(wxS("GetFullPathString() - Error creating MFTFileRecord."));
        return PassResult::kUnfinished;
    }
    if (record.file_name_array.empty()) {
        return PassResult::kUnfinished;
    }
    const MFTFileNameAttr* name = ChoosePathName(record);
    if (name == nullptr) {
        return PassResult::kNextPass;  // the same record is read again
    }
    path.insert(0, 1, kSeparator);
    path.insert(0, name->file_name);
    current_recno = name->parent_recno;
    if (name->file_name == wxS(".")) {  // the root's own name
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
    if (!mft_file.IsOpened()) {
        LogErrorText(wxS("GetFullPathString() - passed in MFT file is not opened."));
        return wxString();
    }
    if (!RecordWithinFile(mft_file, mft_recno)) {
        LogErrorText(wxS("GetFullPathString() - passed in mft_recno is greater than record count."));
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
