#ifndef VARNETH_APP_BODY_FILE_H
#define VARNETH_APP_BODY_FILE_H

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include <wx/string.h>

#include "app/report_writer.h"
#include "mft/mft_file_record.h"
#include "mft/record_source.h"
#include "path/full_path_resolver.h"
#include "report/body_line.h"

// The body file (-b): the lines of every reported record (report/body_line),
// written in the same pass as the report through a buffered writer of its
// own.
// The folders of hard links are found by a second path walk, kept apart from
// the report's: it logs nothing and leaves what the report's walk remembers
// as it was, so the report and the console stay as they are without -b.
class BodyFile final : private BodyDirectoryPaths {
public:
    BodyFile() = default;
    BodyFile(const BodyFile&) = delete;
    BodyFile& operator=(const BodyFile&) = delete;

    // Creates or empties the file (the library logs its own line on failure).
    bool Open(const wxString& name) { return writer_.Open(name); }
    // False when writing failed.
    bool AppendRecord(const RecordSource& mft_file, const MFTFileRecord& record, const std::string& full_path_utf8);
    bool FlushToDisk() { return writer_.FlushToDisk(); }
    bool Close() { return writer_.Close(); }

private:
    std::string_view WalkPathOf(std::uint64_t recno) override;

    ReportWriter writer_;
    BodyLineBuilder lines_;
    const RecordSource* mft_file_ = nullptr;
    std::unique_ptr<FullPathResolver> link_paths_;  // made at the first hard link elsewhere
};

#endif
