#ifndef VARNETH_PATH_FULL_PATH_RESOLVER_H
#define VARNETH_PATH_FULL_PATH_RESOLVER_H

// The full path walk: the path of a record ("\Windows\System32\drivers"),
// rebuilt by reading the record and then its ancestors, one parent reference
// at a time, each checked against the record it names (path/parent_check.h).
// The walk ends at the root (record 5, named "."), or orphaned with the names gathered
// so far (path/walked_path.h): at a record that is not the folder
// referenced, cannot be read or decoded, or has no name for a path, at a
// record the walk has passed already, and after 50 passes. Problems are
// handed back as diagnostics.
//
// Made for a whole run of rows, it answers a pass from memory when the
// record was read before and its pass said nothing: the record being
// reported comes from the caller's own decoding, directories from a bounded
// cache (its own, or the one a run's workers share), and the rest of a
// walk that a recent row took from the same parent reference to the root
// (with passes enough left) from a small memo of path prefixes. Every pass that says something, reads short or fails is made
// again on the file, so each call gives the lines a walk without memory
// gives, in the same order. Records are read through the record source,
// which moves no file position.
//
// The input is evidence and is not expected to change during the run: as a
// guard, every directory the caller hands in is compared with what is kept
// for it, the file's length is looked at every few thousand calls, and either
// change empties the cache.

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include <vector>

#include "base/diagnostics.h"
#include "mft/extension_records.h"
#include "mft/mft_file_record.h"
#include "mft/record_source.h"
#include "path/full_path_pass.h"
#include "path/path_step_cache.h"
#include "path/walked_path.h"

class FullPathResolver {
public:
    // The caps of the resolver's own directory cache (tests make them small)
    // and the number of path memos (a resolver for one walk needs one).
    static constexpr std::size_t kMemos = 1024;
    explicit FullPathResolver(std::size_t max_cached_steps = PathStepCache::kDefaultMaxEntries,
                              std::size_t max_cached_name_bytes = PathStepCache::kDefaultMaxNameBytes,
                              std::size_t memo_count = kMemos)
        : own_cache_(std::make_unique<PathStepCache>(max_cached_steps, max_cached_name_bytes)),
          cache_(*own_cache_),
          memo_count_(PowerOfTwoAtLeast(memo_count))
    {
    }
    // A resolver of one worker, with the directory cache the run's workers
    // share; the cache outlives it.
    explicit FullPathResolver(PathStepCache& shared_cache)
        : cache_(shared_cache), memo_count_(PowerOfTwoAtLeast(kMemos))
    {
    }
    FullPathResolver(const FullPathResolver&) = delete;
    FullPathResolver& operator=(const FullPathResolver&) = delete;

    // The record being reported as the caller has just read it from the file
    // and decoded it, with the lines its decoding gave: the first pass takes
    // both from here, and gives the lines once more, as a pass that read and
    // decoded the record itself would.
    struct OwnRecord {
        const MFTFileRecord& record;
        const Diagnostics& decoding;
    };

    // The path of record mft_recno, its names in UTF-8 (text/utf8_text),
    // valid until the next call; the walk's lines are appended to
    // diagnostics. own_record, when not null, is the record at mft_recno.
    // Every call of one resolver must read the same file.
    const WalkedPath& Resolve(const RecordSource& mft_file, std::uint64_t mft_recno, const OwnRecord* own_record,
                              Diagnostics& diagnostics);

    // The path of the folder a parent reference names (recno and sequence
    // number), checked as every parent is; valid until the next call.
    const WalkedPath& ResolveFolder(const RecordSource& mft_file, std::uint64_t recno, std::uint16_t sequence,
                                    Diagnostics& diagnostics);

    // Forgets everything, as if new: the next call may read another file.
    void Reset();

    // A folder whose names were moved to its extension records is read
    // with them, through reader (which must read the same file; null: the
    // base record alone). The reader is lent: it outlives the resolver's use.
    void ReadExtensionRecordsWith(ExtensionRecordReader* reader) { extensions_ = reader; }

private:
    static std::size_t PowerOfTwoAtLeast(std::size_t count)
    {
        std::size_t power = 1;
        while (power < count) {
            power *= 2;
        }
        return power;
    }

    using WalkEnd = WalkedPath::End;
    struct Walk;

    struct ParentReference {
        std::uint64_t recno = 0;
        std::uint16_t sequence = 0;
    };
    struct Memo {
        bool valid = false;
        int passes_after = 0;  // the passes after the first
        ParentReference parent;
        WalkedPath::Prefix before;  // the path in front of the first name, and how it ended
    };

    void Start(Walk& walk);
    bool TakeStep(Walk& walk, int pass, PathStep& step);
    bool ReadStep(Walk& walk, int pass, PathStep& step);
    bool Passed(std::uint64_t recno, int pass) const;
    void StepOfRecord(const MFTFileRecord& record, std::uint64_t recno, int pass, PathStep& step);
    void NoteOwnRecord(std::uint64_t recno, const MFTFileRecord& record, const PathStep& step);
    void WalkFrom(Walk& walk);
    void Compose(int names, WalkEnd end);
    void AppendNames(int names);
    void KeepMemo(const Walk& walk, WalkEnd end);
    bool FinishFromMemo(Walk& walk);
    void CheckFileLength(const RecordSource& mft_file);
    void DropCache();
    Memo& MemoFor(std::uint64_t parent);

    ExtensionRecordReader* extensions_ = nullptr;
    std::unique_ptr<PathStepCache> own_cache_;  // none when shared
    PathStepCache& cache_;
    PathStepCache::View cache_view_;  // refreshed as each walk starts
    std::size_t memo_count_;  // a power of two: a mask picks the memo
    std::vector<Memo> memos_;  // by parent record number; made at the first use
    // Below any length, and below the -1 of a failed look: a resolver's first
    // look changes nothing, as a shared cache holds what the other workers
    // have read of the same file.
    static constexpr long long kLengthNotLooked = -2;
    long long file_length_ = kLengthNotLooked;
    unsigned calls_until_length_ = 0;
    std::array<std::string, full_path_pass::kMaxPasses> read_names_;  // names not taken from the cache
    std::array<std::string_view, full_path_pass::kMaxPasses> names_;  // the names added, first pass first
    std::array<ParentReference, full_path_pass::kMaxPasses> parents_;  // and where each led
    std::array<std::uint64_t, full_path_pass::kMaxPasses> passed_;     // the records met, first pass first
    WalkedPath path_;
    MFTFileRecord record_;
    std::vector<unsigned char> buffer_;
};

#endif
