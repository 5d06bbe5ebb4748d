#ifndef VARNETH_PATH_FOLDER_PATHS_H
#define VARNETH_PATH_FOLDER_PATHS_H

#include <cstdint>
#include <memory>

#include "base/diagnostics.h"
#include "mft/record_source.h"
#include "path/full_path_resolver.h"
#include "path/walked_path.h"

// The paths of folders other than the one a record's own path passes
// through: where the body file places a $FILE_NAME in another folder (a hard
// link), or a record whose path has none of its names. A walk of its own,
// kept apart from the report's: its lines are dropped and what the report's
// walk remembers stays as it was, so the report and the console are the
// same with and without a body file.
class FolderPaths {
public:
    explicit FolderPaths(const RecordSource& mft_file) : mft_file_(mft_file) {}
    FolderPaths(const FolderPaths&) = delete;
    FolderPaths& operator=(const FolderPaths&) = delete;

    // The path of the folder a parent reference names (recno and sequence
    // number); valid until the next call.
    const WalkedPath& PathOf(std::uint64_t recno, std::uint16_t sequence);

    // Folders whose names were moved to extension records are read with
    // them, through reader, as the report's walk reads them (the same reader
    // may serve both: one walk at a time); null: the base record alone.
    void ReadExtensionRecordsWith(ExtensionRecordReader* reader);

private:
    const RecordSource mft_file_;
    ExtensionRecordReader* extensions_ = nullptr;
    std::unique_ptr<FullPathResolver> walk_;  // made at the first folder asked for
    Diagnostics dropped_lines_;
};

#endif
