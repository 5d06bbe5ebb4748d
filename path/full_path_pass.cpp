#include "path/full_path_pass.h"

#include "mft/byte_reader.h"
#include "mft/record_construction.h"

namespace full_path_pass {

namespace {

// mft_recno * record size <= length, without the product overflowing.
bool RecordWithinFile(const RecordSource& mft_file, std::uint64_t mft_recno)
{
    const long long length = mft_file.FileLength();
    return length >= 0 && mft_recno <= static_cast<std::uint64_t>(length) / mft_file.record_size();
}

}  // namespace

bool CheckWalkStart(const RecordSource& mft_file, std::uint64_t mft_recno, Diagnostics& diagnostics)
{
    if (!mft_file.IsOpen()) {
        diagnostics.Error(wxS("GetFullPathString() - passed in MFT file is not opened."));
        return false;
    }
    if (!RecordWithinFile(mft_file, mft_recno)) {
        diagnostics.Error(wxS("GetFullPathString() - passed in mft_recno is greater than record count."));
        return false;
    }
    return true;
}

ReadResult ReadRecord(const RecordSource& mft_file, std::uint64_t mft_recno, std::uint64_t current_recno,
                      MFTFileRecord& record, std::vector<unsigned char>& buffer, Diagnostics& diagnostics)
{
    record.Clear();
    buffer.resize(mft_file.record_size());
    const RecordSource::ReadResult read = mft_file.Read(current_recno, buffer.data(), buffer.size(), diagnostics);
    if (read != RecordSource::ReadResult::kWhole) {
        return read == RecordSource::ReadResult::kFailed ? ReadResult::kReadFailed : ReadResult::kShortRead;
    }
    if (!HasFileSignature(ByteReader(buffer.data(), buffer.size()))) {
        diagnostics.Warning(wxS("GetFullPathString() - Invalid MFT magic in MFT file record."));
        return ReadResult::kFailed;
    }
    if (CreateMFTFileRecord(buffer.data(), &record, mft_recno, diagnostics, mft_file.record_size()) != 0) {
        diagnostics.Error(wxS("GetFullPathString() - Error creating MFTFileRecord."));
        return ReadResult::kFailed;
    }
    return ReadResult::kDecoded;
}

}  // namespace full_path_pass
