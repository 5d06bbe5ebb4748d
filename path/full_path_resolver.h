#ifndef VARNETH_PATH_FULL_PATH_RESOLVER_H
#define VARNETH_PATH_FULL_PATH_RESOLVER_H

// The full path walk for a whole run of rows. It walks pass by pass exactly
// as GetFullPathString does, but answers a pass from memory when the record
// was read before and its pass logged nothing: the record being reported
// comes from the caller's own decoding, directories from a bounded cache,
// and the rest of a walk that a recent row took from the same directory
// (with passes enough left) from a small memo of finished path prefixes.
// Every pass that logs, reads short or fails is made again on the file, so
// each call logs exactly what the plain walk logs, in the same order, and
// leaves the file position as it found it.
//
// The input is evidence and is not expected to change during the run: as a
// guard, every directory the caller hands in is compared with what is kept
// for it, the file's length is looked at every few thousand calls, and either
// change empties the cache.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include <wx/file.h>

#include "mft/mft_file_record.h"
#include "path/full_path_pass.h"
#include "path/path_step_cache.h"

class FullPathResolver {
public:
    // The caps of the directory cache (tests make them small).
    explicit FullPathResolver(std::size_t max_cached_steps = PathStepCache::kDefaultMaxEntries,
                              std::size_t max_cached_name_bytes = PathStepCache::kDefaultMaxNameBytes)
        : cache_(max_cached_steps, max_cached_name_bytes)
    {
    }
    static constexpr std::size_t kMemos = 1024;
    FullPathResolver(const FullPathResolver&) = delete;
    FullPathResolver& operator=(const FullPathResolver&) = delete;

    // The path GetFullPathString(mft_file, mft_recno) returns, as UTF-8
    // (text/utf8_text), valid until the next call. own_record, when not
    // null, is the record at mft_recno as the caller has just read it from
    // this file and decoded it without a log line.
    const std::string& Resolve(wxFile& mft_file, std::uint64_t mft_recno, const MFTFileRecord* own_record);

private:
    enum class WalkEnd { kRoot, kFinished, kUnfinished };
    struct Walk;

    struct Memo {
        bool valid = false;
        bool ends_at_root = false;
        int passes_after = 0;  // the passes after the first
        std::uint64_t parent = 0;
        std::string before;  // the path in front of the first name
        std::string after;   // and after it
    };

    bool TakeStep(Walk& walk, int pass, PathStep& step, WalkEnd& end);
    bool ReadStep(Walk& walk, int pass, PathStep& step, WalkEnd& end);
    void StepOfRecord(const MFTFileRecord& record, int pass, PathStep& step);
    void NoteOwnRecord(std::uint64_t recno, const MFTFileRecord& record, const PathStep& step);
    void WalkFrom(Walk& walk);
    void Compose(int names, WalkEnd end);
    void AppendNames(int names, bool trailing_separator);
    void KeepMemo(const Walk& walk, WalkEnd end);
    bool FinishFromMemo(Walk& walk, int pass);
    void CheckFileLength(wxFile& mft_file);
    void DropCache();
    Memo& MemoFor(std::uint64_t parent);

    PathStepCache cache_;
    std::array<Memo, kMemos> memos_;  // by parent record number
    wxFileOffset file_length_ = wxInvalidOffset;
    unsigned calls_until_length_ = 0;
    std::array<std::string, full_path_pass::kMaxPasses> read_names_;  // names not taken from the cache
    std::array<std::string_view, full_path_pass::kMaxPasses> names_;  // the names added, first pass first
    std::array<std::uint64_t, full_path_pass::kMaxPasses> parents_;   // and where each led
    std::string path_;
    MFTFileRecord record_;
    full_path_pass::RecordBuffer buffer_{};
};

#endif
