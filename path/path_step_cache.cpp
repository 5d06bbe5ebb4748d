#include "path/path_step_cache.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr std::size_t kFirstSlots = std::size_t{1} << 8;  // grown by doubling as entries come
constexpr std::size_t kNameBlockBytes = std::size_t{256} << 10;
constexpr char kNoName[1] = "";  // where an empty name points: never a null pointer
constexpr std::uint64_t kLargestKept = 0xFFFFFFFEULL;  // keys are record number + 1 in 32 bits
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

PathStepCache::PathStepCache(std::size_t max_entries, std::size_t max_name_bytes)
    : max_entries_(max_entries),
      max_name_bytes_(max_name_bytes),
      max_slots_(SlotsFor(max_entries)),
      slots_(FirstSlotsFor(max_entries)),
      block_shift_(BlockShiftFor(max_name_bytes + kMaxNameLength))
{
}

std::size_t PathStepCache::SlotIndex(std::uint32_t key) const
{
    // Fibonacci hashing spreads the neighbouring numbers of one directory's
    // files over the table; the table size is a power of two.
    const std::uint64_t hash = static_cast<std::uint64_t>(key) * 0x9E3779B97F4A7C15ULL;
    std::size_t index = static_cast<std::size_t>(hash >> 32) & (slots_.size() - 1);
    while (slots_[index].key != 0 && slots_[index].key != key) {
        index = (index + 1) & (slots_.size() - 1);
    }
    return index;
}

PathStep PathStepCache::StepOf(const Slot& slot) const
{
    PathStep step;
    step.kind = slot.kind;
    step.root = (slot.flags & kRoot) != 0;
    step.in_use = (slot.flags & kInUse) != 0;
    step.base_record = (slot.flags & kBaseRecord) != 0;
    step.sequence = slot.sequence;
    step.parent = slot.parent;
    step.parent_sequence = slot.parent_sequence;
    step.name = slot.name_length == 0 ? std::string_view(kNoName, 0)
                                      : std::string_view(name_blocks_[slot.name_offset >> block_shift_].get() +
                                                             (slot.name_offset & BlockMask()),
                                                         slot.name_length);
    return step;
}

bool PathStepCache::Find(std::uint64_t recno, PathStep& step) const
{
    if (recno > kLargestKept) {
        return false;
    }
    const Slot& slot = slots_[SlotIndex(static_cast<std::uint32_t>(recno + 1))];
    if (slot.key == 0) {
        return false;
    }
    step = StepOf(slot);
    return true;
}

PathStepCache::InsertResult PathStepCache::Insert(std::uint64_t recno, const PathStep& step)
{
    if (recno > kLargestKept || step.parent > 0xFFFFFFFFULL || step.name.size() > kMaxNameLength) {
        return InsertResult::kNotKept;
    }
    const InsertResult kept = Check(recno, step);
    if (kept != InsertResult::kNotKept || Full()) {
        return kept;
    }
    const auto key = static_cast<std::uint32_t>(recno + 1);
    if ((entries_ + 1) * 8 > slots_.size() * 5 && slots_.size() < max_slots_) {
        Grow();
    }
    Slot& slot = slots_[SlotIndex(key)];
    slot.key = key;
    slot.parent = static_cast<std::uint32_t>(step.parent);
    slot.sequence = step.sequence;
    slot.parent_sequence = step.parent_sequence;
    slot.kind = step.kind;
    slot.flags = static_cast<std::uint8_t>((step.root ? kRoot : 0) | (step.in_use ? kInUse : 0) |
                                           (step.base_record ? kBaseRecord : 0));
    if (!step.name.empty()) {  // an empty view may hold a null pointer
        if ((name_bytes_used_ & BlockMask()) + step.name.size() > BlockBytes()) {
            name_bytes_used_ += BlockBytes() - (name_bytes_used_ & BlockMask());  // to the next block
        }
        const std::size_t block = name_bytes_used_ >> block_shift_;
        while (name_blocks_.size() <= block) {
            name_blocks_.emplace_back(new char[BlockBytes()]);
        }
        std::memcpy(name_blocks_[block].get() + (name_bytes_used_ & BlockMask()), step.name.data(), step.name.size());
    }
    slot.name_offset = static_cast<std::uint32_t>(name_bytes_used_);
    slot.name_length = static_cast<std::uint16_t>(step.name.size());
    name_bytes_used_ += step.name.size();
    ++entries_;
    return InsertResult::kInserted;
}

PathStepCache::InsertResult PathStepCache::Check(std::uint64_t recno, const PathStep& step) const
{
    PathStep kept;
    if (!Find(recno, kept)) {
        return InsertResult::kNotKept;
    }
    const bool same = kept.kind == step.kind && kept.root == step.root && kept.in_use == step.in_use &&
                      kept.base_record == step.base_record && kept.sequence == step.sequence &&
                      kept.parent == step.parent && kept.parent_sequence == step.parent_sequence &&
                      kept.name == step.name;
    return same ? InsertResult::kSame : InsertResult::kDiffers;
}

void PathStepCache::Grow()
{
    std::vector<Slot> old(slots_.size() * 2);
    old.swap(slots_);
    for (const Slot& slot : old) {
        if (slot.key != 0) {
            slots_[SlotIndex(slot.key)] = slot;
        }
    }
}

void PathStepCache::Clear()
{
    if (entries_ == 0) {
        name_bytes_used_ = 0;
        return;  // nothing to wipe
    }
    std::fill(slots_.begin(), slots_.end(), Slot());
    entries_ = 0;
    name_bytes_used_ = 0;
}
