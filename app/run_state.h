#ifndef VARNETH_APP_RUN_STATE_H
#define VARNETH_APP_RUN_STATE_H

#include <cstddef>
#include <cstdint>
#include <memory>

#include <wx/file.h>
#include <wx/string.h>

#include "app/report_archive_draft.h"
#include "app/report_writer.h"
#include "base/run_settings.h"
#include "mft/record_source.h"
#include "numbers/number_formatter.h"
#include "report/report_columns.h"

// Everything the driver holds for the whole run.
struct RunState {
    NumberFormatter formatter{wxS("[,###]")};
    wxFile mft_input;       // open for the whole run
    std::size_t mft_record_size = kMftRecordSize;  // as the input check found it
    RecordSource mft_file;  // reads mft_input record by record
    // Made before the report, which hands it every byte it writes, so that it
    // is gone only after the report's last flush on any early return.
    std::unique_ptr<ReportArchiveDraft> archive_draft;  // with -z, where the report's folder allows
    ReportWriter report_file;
    std::uint64_t mft_file_size = 0;
    std::uint64_t mft_record_count = 0;
    ReportFormat report_format = ReportFormat::kDefault;  // set when the report is opened
    std::unique_ptr<ReportWriter> body_file;      // with -b, once opened

    // A report, unless a name listing was asked for.
    bool ReportMode() const { return !run_settings.dump_ads && !run_settings.dump_filenames; }
};

#endif
