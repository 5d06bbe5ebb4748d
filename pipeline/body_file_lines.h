#ifndef VARNETH_PIPELINE_BODY_FILE_LINES_H
#define VARNETH_PIPELINE_BODY_FILE_LINES_H

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "mft/mft_file_record.h"
#include "mft/record_source.h"
#include "path/full_path_resolver.h"
#include "report/body_line.h"

// The body file's lines of a reported record (report/body_line), made where
// the record is decoded; the writing thread writes them after its rows.
// The folders of hard links are found by a second path walk, kept apart from
// the report's: its lines are dropped and what the report's walk remembers
// stays as it was, so the report and the console stay as they are without -b.
class BodyFileLines final : private BodyDirectoryPaths {
public:
    explicit BodyFileLines(const RecordSource& mft_file) : mft_file_(mft_file) {}
    BodyFileLines(const BodyFileLines&) = delete;
    BodyFileLines& operator=(const BodyFileLines&) = delete;

    // Appends the record's lines to `out`.
    void Append(const MFTFileRecord& record, const std::string& full_path_utf8, std::string& out);

private:
    std::string_view WalkPathOf(std::uint64_t recno) override;

    const RecordSource mft_file_;
    BodyLineBuilder lines_;
    std::unique_ptr<FullPathResolver> link_paths_;  // made at the first hard link elsewhere
    Diagnostics link_path_lines_;                   // dropped
};

#endif
