#include "path/folder_paths.h"

namespace {

// Hard links in other folders are few beside the report's directories: a
// small cache does.
constexpr std::size_t kFolderSteps = std::size_t{1} << 16;
constexpr std::size_t kFolderNameBytes = std::size_t{1} << 20;

}  // namespace

const WalkedPath& FolderPaths::PathOf(std::uint64_t recno, std::uint16_t sequence)
{
    if (!walk_) {
        walk_ = std::make_unique<FullPathResolver>(kFolderSteps, kFolderNameBytes);
        walk_->ReadExtensionRecordsWith(extensions_);
    }
    dropped_lines_.clear();
    return walk_->ResolveFolder(mft_file_, recno, sequence, dropped_lines_);
}

void FolderPaths::ReadExtensionRecordsWith(ExtensionRecordReader* reader)
{
    extensions_ = reader;
    if (walk_) {
        walk_->ReadExtensionRecordsWith(reader);
    }
}
