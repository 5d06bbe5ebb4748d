#ifndef VARNETH_PATH_PATH_STEP_CACHE_H
#define VARNETH_PATH_PATH_STEP_CACHE_H

// What one pass of the full path walk makes of a record, kept by record
// number so that the walk does not read and decode the same directories for
// every row. Only records that were read and decoded without a diagnostic
// line are kept: a pass that has lines is made again each time, and so gives
// them each time.
// The cache has fixed caps (entries and name bytes); when full it is emptied
// and starts again, so its memory never grows with the size of the input.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct PathStep {
    enum class Kind : std::uint8_t {
        kName,          // adds name and goes on to parent
        kNoUsableName,  // only DOS or empty names: no name for a path
        kNoFileNames,   // no $FILE_NAME at all
    };
    Kind kind = Kind::kName;
    bool root = false;          // kName: the name is ".", the walk ends
    // The record itself, for the check of the reference that leads to it
    // (path/parent_check.h).
    bool in_use = false;
    bool base_record = false;          // not an extension record
    std::uint16_t sequence = 0;
    std::uint64_t parent = 0;          // kName: the parent reference
    std::uint16_t parent_sequence = 0;
    std::string_view name;             // kName: UTF-8
};

class PathStepCache {
public:
    enum class InsertResult { kInserted, kSame, kDiffers, kNotKept };

    // About 20 MiB of table and 8 MiB of names at the most: enough for the
    // directories of a $MFT of several million records.
    static constexpr std::size_t kDefaultMaxEntries = (std::size_t{1} << 20) / 8 * 5;
    static constexpr std::size_t kDefaultMaxNameBytes = std::size_t{8} << 20;

    explicit PathStepCache(std::size_t max_entries = kDefaultMaxEntries,
                           std::size_t max_name_bytes = kDefaultMaxNameBytes);

    // The step kept for the record; its name stays valid until Clear.
    bool Find(std::uint64_t recno, PathStep& step) const;
    // kDiffers: a different step is kept for the record (it is left as it
    // is); kNotKept: full, or numbers too large to keep.
    InsertResult Insert(std::uint64_t recno, const PathStep& step);
    // As Insert, but keeps nothing new: kNotKept when the record is not kept.
    InsertResult Check(std::uint64_t recno, const PathStep& step) const;
    // One more name always fits while the cache is not full.
    bool Full() const { return entries_ >= max_entries_ || name_bytes_used_ >= max_name_bytes_; }
    std::size_t size() const { return entries_; }
    void Clear();

private:
    struct Slot {
        std::uint32_t key = 0;  // record number + 1; 0: free
        std::uint32_t parent = 0;
        std::uint32_t name_offset = 0;
        std::uint16_t name_length = 0;
        std::uint16_t sequence = 0;
        std::uint16_t parent_sequence = 0;
        PathStep::Kind kind = PathStep::Kind::kName;
        std::uint8_t flags = 0;  // kRoot, kInUse, kBaseRecord
    };
    // 255 UTF-16 units, each at most three bytes of UTF-8.
    static constexpr std::size_t kMaxNameLength = 255 * 3;

    std::size_t SlotIndex(std::uint32_t key) const;
    void Grow();
    PathStep StepOf(const Slot& slot) const;

    std::size_t max_entries_;
    std::size_t max_name_bytes_;
    std::size_t max_slots_;
    std::vector<Slot> slots_;
    std::size_t entries_ = 0;
    // The names, in blocks made as the cache fills (a small input never
    // pays for the whole cap); a name never spans two blocks, and a block
    // stays where it is until the cache goes, so no kept name moves.
    unsigned block_shift_;  // a block holds 1 << block_shift_ bytes
    std::size_t BlockBytes() const { return std::size_t{1} << block_shift_; }
    std::size_t BlockMask() const { return BlockBytes() - 1; }
    std::vector<std::unique_ptr<char[]>> name_blocks_;
    std::size_t name_bytes_used_ = 0;  // where the next name goes, block tails passed over included
};

#endif
