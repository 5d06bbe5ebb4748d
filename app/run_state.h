#ifndef VARNETH_APP_RUN_STATE_H
#define VARNETH_APP_RUN_STATE_H

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>

#include <wx/file.h>
#include <wx/string.h>

#include "app/image_input.h"
#include "base/output_file.h"
#include "app/run_settings.h"
#include "mft/lost_records.h"
#include "mft/record_source.h"
#include "numbers/number_formatter.h"
#include "report/report_columns.h"

class ReportArchiveDraft;

// Everything the driver holds for the whole run.
struct RunState {
    NumberFormatter formatter{wxS("[,###]")};
    wxFile mft_input;       // open for the whole run
    std::size_t mft_record_size = kMftRecordSize;  // as the input check found it
    RecordSource mft_file;  // reads mft_input record by record, or image_mft's stream
    ImageMft image_mft;     // for a disk or volume image: its $MFT, read in place
    OutputFile report_file;
    ReportArchiveDraft* archive_draft = nullptr;  // with -z: owned by report_file, which hands it every byte
    std::uint64_t mft_file_size = 0;
    std::uint64_t mft_record_count = 0;
    std::uint64_t next_recno = 0;  // the record loop's: the records before it are written
    ReportFormat report_format = ReportFormat::kDefault;  // set when the report is opened
    std::unique_ptr<OutputFile> body_file;        // with -b, once opened
    std::unique_ptr<OutputFile> json_file;        // with -j, once opened

    // What the closing summary counts (with -j or --summary).
    struct Counts {
        std::uint64_t file_records = 0;  // with a FILE signature
        std::uint64_t in_use = 0;
        std::uint64_t extension = 0;
        std::uint64_t failed = 0;        // decoding failed
        std::uint64_t rows = 0;          // report lines written
    } counts;
    // What the record loop met on every run: the records whose read failed
    // (those the image has no bytes of are image_mft.lost), and the FILE
    // records among those read, all and those in use.
    LostRecords read_lost;
    std::uint64_t file_records_read = 0;
    std::uint64_t in_use_read = 0;
    std::chrono::steady_clock::time_point started = std::chrono::steady_clock::now();

    // A report, unless a name listing was asked for.
    bool ReportMode() const { return !run_settings.dump_ads && !run_settings.dump_filenames; }
};

#endif
