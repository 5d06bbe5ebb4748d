#include "app/input_verification.h"

#include <cstdint>

#include <wx/file.h>
#include <wx/filefn.h>

#include "base/log_message.h"
#include "base/platform.h"
#include "mft/byte_reader.h"
#include "mft/record_buffer.h"
#include "mft/record_size.h"
#include "mft/record_source.h"

namespace {

constexpr std::uint64_t kRecordsChecked = 5;

bool FirstRecordsAreFileRecords(const RecordSource& records, Diagnostics* read_failures)
{
    for (std::uint64_t recno = 0; recno < kRecordsChecked; ++recno) {
        unsigned char signature[4] = {0, 0, 0, 0};
        // A short read at the end of the file leaves zeros, which fail the test.
        Diagnostics read_failure;
        records.Read(recno, signature, sizeof signature, read_failure);
        if (read_failures != nullptr) {
            read_failures->Append(read_failure);
        } else {
            LogDiagnostics(read_failure);
        }
        if (!HasFileSignature(ByteReader(signature, sizeof signature))) {
            return false;
        }
    }
    return true;
}

}  // namespace

bool IsValidMFTFile(const wxString& strFilename, std::size_t* record_size)
{
    switch (CheckMftFile(strFilename, record_size)) {
    case MftFileCheck::kMftFile:
        return true;
    case MftFileCheck::kNotMftFile:
        LogNotAnMftFile(strFilename);
        return false;
    case MftFileCheck::kRefused:
        break;
    }
    return false;
}

void LogNotAnMftFile(const wxString& strFilename)
{
    LogErrorText(wxS("File ") + strFilename + wxS(" is not a valid $MFT file.\n"));
}

MftFileCheck CheckMftFile(const wxString& strFilename, std::size_t* record_size, Diagnostics* read_failures)
{
    if (strFilename.empty()) {
        LogErrorText(wxS("IsValidMFTFile() - strFilename parameter is empty."));
        return MftFileCheck::kRefused;
    }
    // Neither would read as records: a folder has none, and a FIFO's bytes
    // are gone once read (and reading one may wait for ever for a writer).
    switch (platform::KindOfFile(strFilename)) {
    case platform::FileKind::kDirectory:
        LogErrorText(strFilename + wxS(" is a directory."));
        return MftFileCheck::kRefused;
    case platform::FileKind::kFifo:
        LogErrorText(strFilename + wxS(" is a FIFO: the $MFT must be a file or a device."));
        return MftFileCheck::kRefused;
    default:
        break;
    }
    if (!wxFileExists(strFilename) && !platform::IsBlockDevice(strFilename)) {
        LogErrorText(wxS("$MFT file ") + strFilename + wxS(" does not exist.\n"));
        return MftFileCheck::kRefused;
    }
    wxFile file;
    if (!file.Open(strFilename, wxFile::read)) {
        LogErrorText(wxS("Unable to open $MFT file ") + strFilename + wxS(".\n"));
        return MftFileCheck::kRefused;
    }
    const std::size_t size_found = DetectRecordSize(file.fd());
    const bool valid = FirstRecordsAreFileRecords(RecordSource(file.fd(), size_found), read_failures);
    file.Close();
    if (!valid) {
        return MftFileCheck::kNotMftFile;
    }
    // Said only when it is not the usual size, so that runs on 1024-byte
    // records log what they always did.
    if (size_found != kMftRecordSize) {
        LogMessageText(wxString::Format(wxS("$MFT file records are %zu bytes each."), size_found));
    }
    if (record_size != nullptr) {
        *record_size = size_found;
    }
    return MftFileCheck::kMftFile;
}
