#ifndef VARNETH_PIPELINE_RECORD_WORK_H
#define VARNETH_PIPELINE_RECORD_WORK_H

#include <cstddef>
#include <memory>
#include <optional>

#include "pipeline/body_file_lines.h"
#include "pipeline/record_pipeline.h"
#include "mft/extension_records.h"
#include "mft/mft_file_record.h"
#include "mft/record_source.h"
#include "path/full_path_resolver.h"
#include "report/report_columns.h"
#include "report/report_rows.h"

// What one worker thread of the record loop does with a record: checks and
// decodes the block, then makes the bytes the run writes for it: its report
// rows (after the full path walk) and body lines, or its lines of a name
// listing, with the lines all that gives. Everything a worker keeps (the
// decoded record, the walk's memos, the row builder's texts) and the
// directory cache the workers share only save work, so the bytes and lines
// do not depend on which worker made them.
class RecordWork final : public RecordWorker {
public:
    struct Settings {
        std::optional<ReportFormat> report;  // none: a name listing
        wxString host_name;                  // the report's Hostname column
        bool body_file = false;
        bool streams_only = false;           // the listing's -a
        bool json = false;                   // a JSON line for every FILE record too
        bool count = false;                  // every FILE record handed on, for the summary's counts
    };

    // step_cache (the walk's directory cache) and extension_index: the ones
    // all workers share.
    RecordWork(const RecordSource& mft_file, const Settings& settings, PathStepCache& step_cache,
               const ExtensionRecordIndex& extension_index);

    bool Make(unsigned char* block, RecordOutput& output, RecordBatch& batch) override;

private:
    // How far a record's decoding went.
    enum class Decoded { kNoSignature, kNoAttributes, kFailed, kExtension, kBase };

    Decoded Decode(unsigned char* block, std::uint64_t recno);
    // damaged: the record's attribute walk broke (record_.walk_break), which
    // counts as a failed decoding.
    void MakeJson(std::uint64_t recno, Decoded decoded, bool damaged, const WalkedPath* path, RecordOutput& output,
                  RecordBatch& batch);
    void Note(Decoded decoded, bool damaged, RecordOutput& output) const;
    const WalkedPath& MakeRows(RecordOutput& output, RecordBatch& batch);
    void MakeListing(RecordOutput& output, RecordBatch& batch);

    const RecordSource mft_file_;
    const Settings settings_;
    MFTFileRecord record_;
    Diagnostics decoding_;  // the lines of the record's decoding
    ExtensionRecordReader extensions_;
    Diagnostics extension_lines_;  // what kept an extension record out (not the path walk's to repeat)
    std::unique_ptr<FullPathResolver> paths_;     // reports only
    std::optional<ReportRowBuilder> rows_;        // reports only
    std::unique_ptr<BodyFileLines> body_lines_;   // with a body file
};

#endif
