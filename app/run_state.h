#ifndef VARNETH_APP_RUN_STATE_H
#define VARNETH_APP_RUN_STATE_H

#include <array>
#include <cstdint>

#include <wx/file.h>
#include <wx/string.h>

#include "app/report_writer.h"
#include "mft/mft_file_record.h"
#include "util/number_formatter.h"

constexpr std::size_t kMftRecordSize = 1024;

// Everything the driver holds for the whole run.
struct RunState {
    NumberFormatter formatter{wxS("[,###]")};
    wxFile mft_file;
    ReportWriter report_file;
    std::uint64_t mft_file_size = 0;
    std::uint64_t mft_record_count = 0;
    std::array<unsigned char, kMftRecordSize> mft_rec_buf{};
    MFTRecordHeader header;
    MFTFileRecord record;

    bool ReportMode() const;
};

#endif
