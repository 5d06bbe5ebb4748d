#ifndef VARNETH_PATH_PATH_STEP_CACHE_H
#define VARNETH_PATH_PATH_STEP_CACHE_H

// What one pass of the full path walk makes of a record, kept by record
// number so that the walk does not read and decode the same directories for
// every row. Only records that were read and decoded without a diagnostic
// line are kept: a pass that has lines is made again each time, and so gives
// them each time.
//
// One cache serves all the walks of a run, on any number of threads: a
// directory read by one worker is found by the others. Finding takes no
// lock: each walker looks through a view of the table as it was when the
// view was last refreshed, and a kept step never changes while a view can
// see it. Keeping takes a lock. A table that must grow is copied, and one
// that reaches the caps (entries and name bytes) is replaced by an empty
// one, so memory never grows with the size of the input; views still on the
// old table keep it until they are refreshed.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string_view>

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
    struct Slot;
    struct Names;
    struct Table;

public:
    enum class InsertResult { kInserted, kSame, kDiffers, kNotKept };

    // About 20 MiB of table and 8 MiB of names at the most, for all workers
    // together: enough for the directories of a $MFT of several million
    // records.
    static constexpr std::size_t kDefaultMaxEntries = (std::size_t{1} << 20) / 8 * 5;
    static constexpr std::size_t kDefaultMaxNameBytes = std::size_t{8} << 20;

    // What one walker sees of one cache; a found name stays valid until the
    // view is refreshed or goes.
    class View {
    public:
        bool Find(std::uint64_t recno, PathStep& step) const;

    private:
        friend class PathStepCache;
        const PathStepCache* cache_ = nullptr;  // the cache it was last refreshed from
        std::shared_ptr<const Table> table_;
        std::uint64_t generation_ = ~std::uint64_t{0};
        // Copied from the table, to spare the hot path two indirections.
        const Slot* slots_ = nullptr;
        std::size_t mask_ = 0;
        const std::unique_ptr<char[]>* blocks_ = nullptr;
        unsigned block_shift_ = 0;
    };

    explicit PathStepCache(std::size_t max_entries = kDefaultMaxEntries,
                           std::size_t max_name_bytes = kDefaultMaxNameBytes);
    ~PathStepCache();
    PathStepCache(const PathStepCache&) = delete;
    PathStepCache& operator=(const PathStepCache&) = delete;

    // Lets the view see all that is kept now; cheap when nothing has moved.
    void Refresh(View& view) const;
    // kDiffers: a different step is kept for the record (it is left as it
    // is); kNotKept: numbers or a name too large to keep. A full cache is
    // emptied first.
    InsertResult Insert(std::uint64_t recno, const PathStep& step);
    // As Insert, but keeps nothing new: kNotKept when the record is not kept.
    InsertResult Check(std::uint64_t recno, const PathStep& step) const;
    std::size_t size() const;
    void Clear();

private:
    struct Slot {
        std::atomic<std::uint32_t> key{0};  // record number + 1; 0: free. Stored last, after the rest.
        std::uint32_t parent = 0;
        std::uint32_t name_offset = 0;
        std::uint16_t name_length = 0;
        std::uint16_t sequence = 0;
        std::uint16_t parent_sequence = 0;
        PathStep::Kind kind = PathStep::Kind::kName;
        std::uint8_t flags = 0;  // kRoot, kInUse, kBaseRecord
    };

    static std::size_t SlotIndex(const Slot* slots, std::size_t mask, std::uint32_t key);
    static PathStep StepOf(const Slot& slot, const std::unique_ptr<char[]>* blocks, unsigned block_shift);
    InsertResult CheckHeld(std::uint64_t recno, const PathStep& step) const;
    void Replace(std::shared_ptr<Table> table);
    void Grow();
    void Empty();
    bool Full() const;

    std::size_t max_entries_;
    std::size_t max_name_bytes_;
    std::size_t max_slots_;
    mutable std::mutex lock_;  // held to keep a step, and to take the table
    std::shared_ptr<Table> table_;
    std::atomic<std::uint64_t> generation_{0};  // counts the tables
};

#endif
