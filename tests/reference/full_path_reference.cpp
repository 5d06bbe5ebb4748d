#include "reference/full_path_reference.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <vector>

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

// Reads the record into the cleared record object; false when it cannot be
// read or decoded (said, but for a short read).
bool ReadAndDecode(wxFile& mft_file, std::uint64_t mft_recno, std::uint64_t current, MFTFileRecord& record,
                   Diagnostics& diagnostics)
{
    std::array<unsigned char, 1024> buffer{};
    record.Clear();
    if (mft_file.Seek(static_cast<wxFileOffset>(current * 1024)) == wxInvalidOffset) {
        diagnostics.Error(wxS("GetFullPathString() - error on Seek() in MFT file."));
        return false;
    }
    if (mft_file.Read(buffer.data(), 1024) != 1024) {
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

// The record a reference names: the same sequence number, or the next one
// when it is free; a base record.
bool IsReferenced(const MFTFileRecord& record, std::uint16_t sequence)
{
    const std::uint16_t now = record.mft_header.sequence_number;
    const bool in_use = (record.mft_header.record_flags & 0x0001) != 0;
    return record.mft_header.base_recno == 0 &&
           (now == sequence || (!in_use && now == static_cast<std::uint16_t>(sequence + 1)));
}

// The names, root side first; true when the walk reached the root. The
// first record is checked only when a sequence number is given for it.
bool Walk(wxFile& mft_file, std::uint64_t mft_recno, std::optional<std::uint16_t> sequence,
          std::vector<wxString>& names, Diagnostics& diagnostics)
{
    MFTFileRecord record;
    std::vector<std::uint64_t> passed;
    std::uint64_t current = mft_recno;
    for (int pass = 0; pass < 50; ++pass) {
        passed.push_back(current);
        if (!ReadAndDecode(mft_file, mft_recno, current, record, diagnostics)) {
            return false;
        }
        const MFTFileNameAttr* name = FirstUsableName(record);
        const bool dot = name != nullptr && name->file_name == wxS(".");
        const bool root = dot && current == 5;
        if (dot && !root) {
            name = nullptr;
        }
        if (sequence && !root && !IsReferenced(record, *sequence)) {
            return false;
        }
        if (name == nullptr) {
            // A record's own walk without a name of its own: the root's path.
            return pass == 0 && !sequence && !record.file_name_array.empty();
        }
        if (root) {
            return true;
        }
        names.insert(names.begin(), name->file_name);
        if (std::find(passed.begin(), passed.end(), name->parent_recno) != passed.end()) {
            return false;
        }
        current = name->parent_recno;
        sequence = name->parent_sequence;
    }
    return false;
}

wxString Joined(bool root, const std::vector<wxString>& names)
{
    wxString path = root ? wxString() : wxString(wxS("\\$OrphanFiles"));
    for (const wxString& name : names) {
        path += wxS("\\") + name;
    }
    return path.empty() ? wxString(wxS("\\")) : path;
}

wxString WalkedText(wxFile& mft_file, std::uint64_t recno, std::optional<std::uint16_t> sequence,
                    Diagnostics& diagnostics)
{
    const wxFileOffset position = mft_file.Tell();
    std::vector<wxString> names;
    const bool root = Walk(mft_file, recno, sequence, names, diagnostics);
    if (position != wxInvalidOffset) {
        mft_file.Seek(position);
    }
    return Joined(root, names);
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
    return WalkedText(mft_file, mft_recno, std::nullopt, diagnostics);
}

wxString ReferenceFolderPath(wxFile& mft_file, std::uint64_t recno, std::uint16_t sequence, Diagnostics& diagnostics)
{
    return WalkedText(mft_file, recno, sequence, diagnostics);
}

}  // namespace varneth_test
