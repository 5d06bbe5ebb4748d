#include "app/input_verification.h"

#include <cstdint>

#include <wx/file.h>
#include <wx/filefn.h>

#include "base/log_message.h"
#include "mft/byte_reader.h"
#include "mft/record_buffer.h"
#include "mft/record_header.h"

namespace {

constexpr int kRecordsChecked = 5;

bool FirstRecordsAreFileRecords(wxFile& file)
{
    for (int record = 0; record < kRecordsChecked; ++record) {
        unsigned char signature[4] = {0, 0, 0, 0};
        // A short read at the end of the file leaves zeros, which fail the test.
        if (file.Seek(record * static_cast<wxFileOffset>(kMftRecordSize), wxFromStart) == wxInvalidOffset) {
            return false;
        }
        file.Read(signature, sizeof signature);
        if (ByteReader(signature, sizeof signature).U32At(record_header_field::kMagic) != kFileSignature) {
            return false;
        }
    }
    return true;
}

}  // namespace

bool IsValidMFTFile(const wxString& strFilename)
{
    if (strFilename.empty()) {
        LogErrorText(wxS("IsValidMFTFile() - strFilename parameter is empty."));
        return false;
    }
    if (!wxFileExists(strFilename)) {
        LogErrorText(wxS("$MFT file ") + strFilename + wxS(" does not exist.\n"));
        return false;
    }
    wxFile file;
    if (!file.Open(strFilename, wxFile::read)) {
        LogErrorText(wxS("Unable to open $MFT file ") + strFilename + wxS(".\n"));
        return false;
    }
    const bool valid = FirstRecordsAreFileRecords(file);
    file.Close();
    if (!valid) {
        LogErrorText(wxS("File ") + strFilename + wxS(" is not a valid $MFT file.\n"));
    }
    return valid;
}
