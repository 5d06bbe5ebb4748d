#include "path/full_path_pass.h"

#include "base/log_message.h"
#include "mft/byte_reader.h"
#include "mft/record_construction.h"
#include "mft/record_header.h"

namespace full_path_pass {

namespace {


// mft_recno * 1024 <= length, without the product overflowing.
bool RecordWithinFile(wxFile& mft_file, std::uint64_t mft_recno)
{
    const wxFileOffset length = mft_file.Length();
    return length >= 0 && mft_recno <= static_cast<std::uint64_t>(length) / kMftRecordSize;
}

}  // namespace

bool CheckWalkStart(wxFile& mft_file, std::uint64_t mft_recno)
{
    if (!mft_file.IsOpened()) {
        LogErrorText(wxS("GetFullPathString() - passed in MFT file is not opened."));
        return false;
    }
    if (!RecordWithinFile(mft_file, mft_recno)) {
        LogErrorText(wxS("GetFullPathString() - passed in mft_recno is greater than record count."));
        return false;
    }
    return true;
}

ReadResult ReadRecord(wxFile& mft_file, std::uint64_t mft_recno, std::uint64_t current_recno,
                      MFTFileRecord& record, RecordBuffer& buffer)
{
    record.Clear();
    // A parent number has 48 bits, so the offset fits wxFileOffset.
    if (mft_file.Seek(static_cast<wxFileOffset>(current_recno * kMftRecordSize), wxFromStart) == wxInvalidOffset) {
        LogErrorText(wxS("GetFullPathString() - error on Seek() in MFT file."));
        return ReadResult::kFailed;
    }
    const ssize_t got = mft_file.Read(buffer.data(), kMftRecordSize);
    if (got != static_cast<ssize_t>(kMftRecordSize)) {
        return got == wxInvalidOffset ? ReadResult::kReadFailed : ReadResult::kShortRead;
    }
    ByteReader reader(buffer.data(), buffer.size());
    if (reader.U32At(record_header_field::kMagic) != kFileSignature) {
        LogWarningText(wxS("GetFullPathString() - Invalid MFT magic in MFT file record."));
        return ReadResult::kFailed;
    }
    if (CreateMFTFileRecord(buffer.data(), &record, mft_recno) != 0) {
        LogErrorText(wxS("GetFullPathString() - Error creating MFTFileRecord."));
        return ReadResult::kFailed;
    }
    return ReadResult::kDecoded;
}

}  // namespace full_path_pass
