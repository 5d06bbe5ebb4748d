#include "app/input_verification.h"

#include <cstdint>

#include <wx/file.h>
#include <wx/filefn.h>

#include "app/log_message.h"

namespace {

constexpr std::uint32_t kFileSignature = 0x454C4946;  // "FILE" read little-endian
constexpr int kRecordsChecked = 5;
constexpr wxFileOffset kRecordSize = 1024;

std::uint32_t LittleEndian32(const unsigned char bytes[4])
{
    return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
           static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

bool FirstRecordsAreFileRecords(wxFile& file)
{
    for (int record = 0; record < kRecordsChecked; ++record) {
        unsigned char signature[4] = {0, 0, 0, 0};
        // A short read at the end of the file leaves zeros, which fail the test.
        if (file.Seek(record * kRecordSize, wxFromStart) == wxInvalidOffset) {
            return false;
        }
        file.Read(signature, sizeof signature);
        if (LittleEndian32(signature) != kFileSignature) {
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
