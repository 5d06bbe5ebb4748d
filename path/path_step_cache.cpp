#include "path/path_step_cache.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

constexpr std::size_t kFirstSlots = std::size_t{1} << 8;  // grown by doubling as entries come
constexpr std::size_t kNameBlockBytes = std::size_t{256} << 10;
constexpr char kNoName[1] = "";  // where an empty name points: never a null pointer
constexpr std::uint64_t kLargestKept = 0xFFFFFFFEULL;  // keys are record number + 1 in 32 bits
// 255 UTF-16 units, each at most three bytes of UTF-8.
constexpr std::size_t kMaxNameLength = 255 * 3;
// A slot's flags.
constexpr std::uint8_t kRoot = 1;
constexpr std::uint8_t kInUse = 2;
constexpr std::uint8_t kBaseRecord = 4;

// Blocks of a power of two bytes, so that finding a name costs a shift, not
// a division: the smallest that holds the whole cap, up to 256 KiB.
unsigned BlockShiftFor(std::size_t cap)
{
    unsigned shift = 4;
    while ((std::size_t{1} << shift) < std::min(kNameBlockBytes, cap)) {
        ++shift;
    }
    return shift;
}

// The table is kept at most five eighths full, so that probes stay short.
// A small cache (one walk's) starts, and stays, at the size it needs.
std::size_t FirstSlotsFor(std::size_t entries)
{
    std::size_t slots = 16;
    while (slots < kFirstSlots && slots / 8 * 5 < entries) {
        slots *= 2;
    }
    return slots;
}

std::size_t SlotsFor(std::size_t entries)
{
    std::size_t slots = FirstSlotsFor(entries);
    while (slots / 8 * 5 < entries) {
        slots *= 2;
    }
    return slots;
}

}  // namespace

// The names, in blocks made as the cache fills (a small input never pays
// for the whole cap); a name never spans two blocks. The list of blocks is
// made whole at the start, so that it never moves under a reader, and a
// block stays where it is until the last table that names it goes.
struct PathStepCache::Names {
    Names(std::size_t max_name_bytes)
        : block_shift(BlockShiftFor(max_name_bytes + kMaxNameLength)),
          // The last name starts below the cap, after at most one passed-over block tail.
          blocks(((max_name_bytes + 2 * kMaxNameLength) >> block_shift) + 2)
    {
    }
    std::size_t BlockBytes() const { return std::size_t{1} << block_shift; }
    std::size_t BlockMask() const { return BlockBytes() - 1; }

    const unsigned block_shift;  // a block holds 1 << block_shift bytes
    std::vector<std::unique_ptr<char[]>> blocks;
    std::size_t used = 0;  // where the next name goes, block tails passed over included
};

struct PathStepCache::Table {
    Table(std::size_t slot_count, std::shared_ptr<Names> kept_names)
        : slots(new Slot[slot_count]), mask(slot_count - 1), names(std::move(kept_names))
    {
    }
    std::size_t slot_count() const { return mask + 1; }

    std::unique_ptr<Slot[]> slots;
    std::size_t mask;  // slot_count - 1: the count is a power of two
    std::size_t entries = 0;
    std::shared_ptr<Names> names;  // shared with the table it grew from
};

PathStepCache::PathStepCache(std::size_t max_entries, std::size_t max_name_bytes)
    : max_entries_(max_entries),
      max_name_bytes_(max_name_bytes),
      max_slots_(SlotsFor(max_entries)),
      table_(std::make_shared<Table>(FirstSlotsFor(max_entries), std::make_shared<Names>(max_name_bytes)))
{
}

PathStepCache::~PathStepCache() = default;

std::size_t PathStepCache::SlotIndex(const Slot* slots, std::size_t mask, std::uint32_t key)
{
    // Fibonacci hashing spreads the neighbouring numbers of one directory's
    // files over the table; the table size is a power of two. A slot being
    // filled by another thread reads as free until its key is stored.
    const std::uint64_t hash = static_cast<std::uint64_t>(key) * 0x9E3779B97F4A7C15ULL;
    std::size_t index = static_cast<std::size_t>(hash >> 32) & mask;
    for (;;) {
        const std::uint32_t found = slots[index].key.load(std::memory_order_acquire);
        if (found == 0 || found == key) {
            return index;
        }
        index = (index + 1) & mask;
    }
}

PathStep PathStepCache::StepOf(const Slot& slot, const std::unique_ptr<char[]>* blocks, unsigned block_shift)
{
    PathStep step;
    step.kind = slot.kind;
    step.root = (slot.flags & kRoot) != 0;
    step.in_use = (slot.flags & kInUse) != 0;
    step.base_record = (slot.flags & kBaseRecord) != 0;
    step.sequence = slot.sequence;
    step.parent = slot.parent;
    step.parent_sequence = slot.parent_sequence;
    const std::size_t block_mask = (std::size_t{1} << block_shift) - 1;
    step.name = slot.name_length == 0
                    ? std::string_view(kNoName, 0)
                    : std::string_view(blocks[slot.name_offset >> block_shift].get() + (slot.name_offset & block_mask),
                                       slot.name_length);
    return step;
}

bool PathStepCache::View::Find(std::uint64_t recno, PathStep& step) const
{
    if (recno > kLargestKept || slots_ == nullptr) {
        return false;
    }
    const auto key = static_cast<std::uint32_t>(recno + 1);
    const Slot& slot = slots_[SlotIndex(slots_, mask_, key)];
    // Read again, with acquire: the slot may have been filled for this very
    // record since SlotIndex saw it free.
    if (slot.key.load(std::memory_order_acquire) != key) {
        return false;
    }
    step = StepOf(slot, blocks_, block_shift_);
    return true;
}

void PathStepCache::Refresh(View& view) const
{
    if (view.cache_ == this && view.generation_ == generation_.load(std::memory_order_acquire)) {
        return;
    }
    const std::lock_guard<std::mutex> hold(lock_);
    view.cache_ = this;
    view.table_ = table_;
    view.generation_ = generation_.load(std::memory_order_relaxed);
    view.slots_ = table_->slots.get();
    view.mask_ = table_->mask;
    view.blocks_ = table_->names->blocks.data();
    view.block_shift_ = table_->names->block_shift;
}

PathStepCache::InsertResult PathStepCache::Insert(std::uint64_t recno, const PathStep& step)
{
    if (recno > kLargestKept || step.parent > 0xFFFFFFFFULL || step.name.size() > kMaxNameLength) {
        return InsertResult::kNotKept;
    }
    const std::lock_guard<std::mutex> hold(lock_);
    const InsertResult kept = CheckHeld(recno, step);
    if (kept != InsertResult::kNotKept) {
        return kept;
    }
    if (Full()) {
        Empty();
    } else if ((table_->entries + 1) * 8 > table_->slot_count() * 5 && table_->slot_count() < max_slots_) {
        Grow();
    }
    Table& table = *table_;
    Names& names = *table.names;
    const auto key = static_cast<std::uint32_t>(recno + 1);
    std::size_t offset = names.used;
    if ((offset & names.BlockMask()) + step.name.size() > names.BlockBytes()) {
        offset += names.BlockBytes() - (offset & names.BlockMask());  // to the next block
    }
    const std::size_t block = offset >> names.block_shift;
    if (block >= names.blocks.size()) {
        return InsertResult::kNotKept;  // cannot happen below the cap; never write past the list
    }
    if (!step.name.empty()) {  // an empty view may hold a null pointer
        if (!names.blocks[block]) {
            names.blocks[block].reset(new char[names.BlockBytes()]);
        }
        std::memcpy(names.blocks[block].get() + (offset & names.BlockMask()), step.name.data(), step.name.size());
    }
    names.used = offset + step.name.size();
    Slot& slot = table.slots[SlotIndex(table.slots.get(), table.mask, key)];
    slot.parent = static_cast<std::uint32_t>(step.parent);
    slot.sequence = step.sequence;
    slot.parent_sequence = step.parent_sequence;
    slot.kind = step.kind;
    slot.flags = static_cast<std::uint8_t>((step.root ? kRoot : 0) | (step.in_use ? kInUse : 0) |
                                           (step.base_record ? kBaseRecord : 0));
    slot.name_offset = static_cast<std::uint32_t>(offset);
    slot.name_length = static_cast<std::uint16_t>(step.name.size());
    slot.key.store(key, std::memory_order_release);  // the step, and its name, are whole before it is seen
    ++table.entries;
    return InsertResult::kInserted;
}

PathStepCache::InsertResult PathStepCache::Check(std::uint64_t recno, const PathStep& step) const
{
    const std::lock_guard<std::mutex> hold(lock_);
    return CheckHeld(recno, step);
}

PathStepCache::InsertResult PathStepCache::CheckHeld(std::uint64_t recno, const PathStep& step) const
{
    View current;
    current.slots_ = table_->slots.get();
    current.mask_ = table_->mask;
    current.blocks_ = table_->names->blocks.data();
    current.block_shift_ = table_->names->block_shift;
    PathStep kept;
    if (!current.Find(recno, kept)) {
        return InsertResult::kNotKept;
    }
    const bool same = kept.kind == step.kind && kept.root == step.root && kept.in_use == step.in_use &&
                      kept.base_record == step.base_record && kept.sequence == step.sequence &&
                      kept.parent == step.parent && kept.parent_sequence == step.parent_sequence &&
                      kept.name == step.name;
    return same ? InsertResult::kSame : InsertResult::kDiffers;
}

bool PathStepCache::Full() const
{
    return table_->entries >= max_entries_ || table_->names->used >= max_name_bytes_;
}

std::size_t PathStepCache::size() const
{
    const std::lock_guard<std::mutex> hold(lock_);
    return table_->entries;
}

// A new table twice the size, with the same steps and names; views on the
// old one keep it until they are refreshed.
void PathStepCache::Grow()
{
    auto grown = std::make_shared<Table>(table_->slot_count() * 2, table_->names);
    for (std::size_t i = 0; i < table_->slot_count(); ++i) {
        const Slot& slot = table_->slots[i];
        const std::uint32_t key = slot.key.load(std::memory_order_relaxed);
        if (key == 0) {
            continue;
        }
        Slot& copy = grown->slots[SlotIndex(grown->slots.get(), grown->mask, key)];
        copy.parent = slot.parent;
        copy.name_offset = slot.name_offset;
        copy.name_length = slot.name_length;
        copy.sequence = slot.sequence;
        copy.parent_sequence = slot.parent_sequence;
        copy.kind = slot.kind;
        copy.flags = slot.flags;
        copy.key.store(key, std::memory_order_relaxed);  // seen by other threads only through Refresh's lock
    }
    grown->entries = table_->entries;
    Replace(std::move(grown));
}

// A full cache starts again, at the size it had reached.
void PathStepCache::Empty()
{
    Replace(std::make_shared<Table>(table_->slot_count(), std::make_shared<Names>(max_name_bytes_)));
}

void PathStepCache::Replace(std::shared_ptr<Table> table)
{
    table_ = std::move(table);
    generation_.fetch_add(1, std::memory_order_release);
}

void PathStepCache::Clear()
{
    const std::lock_guard<std::mutex> hold(lock_);
    if (table_->entries == 0) {
        return;  // nothing to forget
    }
    Replace(std::make_shared<Table>(FirstSlotsFor(max_entries_), std::make_shared<Names>(max_name_bytes_)));
}
