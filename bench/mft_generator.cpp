#include "bench/mft_generator.h"

#include <algorithm>
#include <cstdio>
#include <memory>

#include "bench/generator_random.h"

namespace varneth_bench {

namespace {

constexpr std::uint64_t kSystemRecords = 16;
constexpr std::uint32_t kRoot = 5;
constexpr unsigned kDeepest = 29;  // directories; their files reach 30

// Salts of the plan's random streams.
constexpr std::uint64_t kKindsSalt = 0x6B696E6473ULL;
constexpr std::uint64_t kTreeSalt = 0x74726565ULL;
constexpr std::uint64_t kRunsSalt = 0x72756E73ULL;

// Most directories sit 1 to 12 deep (mean 6.5); a few go much deeper.
unsigned SampleDepth(Random& random)
{
    if (!random.PerMille(30)) {
        return 1 + random.CoinSum(11);
    }
    unsigned depth = 12;
    while (depth < kDeepest && !random.PerMille(250)) {
        ++depth;
    }
    return depth;
}

BlockKind SampleKind(Random& random)
{
    const std::uint64_t draw = random.Below(10000);
    if (draw < 1200) {
        return BlockKind::kDirectory;
    }
    if (draw < 1230) {
        return BlockKind::kExtension;
    }
    if (draw < 1280) {
        return BlockKind::kNeverUsed;
    }
    return draw < 1290 ? BlockKind::kDamaged : BlockKind::kFile;
}

}  // namespace

MftGenerator::MftGenerator(std::uint64_t record_count, std::uint64_t seed, std::size_t record_size)
    : record_count_(record_count),
      seed_(seed),
      record_size_(record_size),
      system_(varneth_test::SystemRecords(record_size).bytes())
{
    PlanKinds();
    PlanDirectories();
    PlanFileParents();
}

void MftGenerator::PlanKinds()
{
    Random random(seed_ ^ kKindsSalt);
    kinds_.resize(record_count_);
    for (std::uint64_t recno = 0; recno < record_count_; ++recno) {
        kinds_[recno] = recno < kSystemRecords ? BlockKind::kSystem : SampleKind(random);
        if (kinds_[recno] == BlockKind::kDirectory) {
            directories_.push_back({static_cast<std::uint32_t>(recno), kRoot, 0});
        }
    }
}

// Depths first, then each directory takes a parent one level up anywhere in
// the file, before or after it, as a volume that reuses records has them.
void MftGenerator::PlanDirectories()
{
    Random random(seed_ ^ kTreeSalt);
    std::vector<std::vector<std::uint32_t>> by_depth(kDeepest + 1);
    for (std::size_t i = 0; i < directories_.size(); ++i) {
        // The first ones form one chain to the deepest level, so every
        // depth exists even in a small file.
        const unsigned depth = i < kDeepest ? static_cast<unsigned>(i) + 1 : SampleDepth(random);
        directories_[i].depth = static_cast<std::uint8_t>(depth);
        by_depth[depth].push_back(static_cast<std::uint32_t>(i));
    }
    for (Directory& directory : directories_) {
        unsigned up = directory.depth - 1u;
        while (up > 0 && by_depth[up].empty()) {
            --up;
        }
        directory.depth = static_cast<std::uint8_t>(up + 1);
        if (up > 0) {
            const auto& candidates = by_depth[up];
            directory.parent = directories_[candidates[random.Below(candidates.size())]].recno;
        }
    }
}

// Files come in runs of about eight that share a directory: most often one
// made shortly before, else any directory at a depth drawn as for them.
void MftGenerator::PlanFileParents()
{
    Random random(seed_ ^ kRunsSalt);
    std::vector<std::vector<std::uint32_t>> by_depth(kDeepest + 1);
    for (const Directory& directory : directories_) {
        by_depth[directory.depth].push_back(directory.recno);
    }
    std::size_t made_before = 0;  // directories with a lower record number
    for (std::uint64_t recno = kSystemRecords; recno < record_count_; recno += 1 + random.Below(15)) {
        while (made_before < directories_.size() && directories_[made_before].recno < recno) {
            ++made_before;
        }
        std::uint32_t parent = kRoot;
        if (made_before > 0 && random.PerMille(600)) {
            const std::size_t recent = std::min<std::size_t>(made_before, 8);
            parent = directories_[made_before - 1 - random.Below(recent)].recno;
        } else {
            unsigned depth = SampleDepth(random) - 1;
            while (depth > 0 && by_depth[depth].empty()) {
                --depth;
            }
            if (depth > 0) {
                parent = by_depth[depth][random.Below(by_depth[depth].size())];
            }
        }
        run_starts_.push_back(static_cast<std::uint32_t>(recno));
        run_parents_.push_back(parent);
    }
}

const MftGenerator::Directory* MftGenerator::FindDirectory(std::uint64_t recno) const
{
    const auto found = std::lower_bound(directories_.begin(), directories_.end(), recno,
                                        [](const Directory& d, std::uint64_t r) { return d.recno < r; });
    return found != directories_.end() && found->recno == recno ? &*found : nullptr;
}

unsigned MftGenerator::DirectoryDepth(std::uint64_t recno) const
{
    const Directory* directory = FindDirectory(recno);
    return directory == nullptr ? 0 : directory->depth;
}

std::uint64_t MftGenerator::RunParent(std::uint64_t recno) const
{
    const auto after = std::upper_bound(run_starts_.begin(), run_starts_.end(), recno);
    if (after == run_starts_.begin()) {
        return kRoot;
    }
    return run_parents_[static_cast<std::size_t>(after - run_starts_.begin()) - 1];
}

bool MftGenerator::WriteTo(const std::string& path) const
{
    std::vector<char> buffer(1 << 20);  // outlives the stream that uses it
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> out(std::fopen(path.c_str(), "wb"), &std::fclose);
    if (!out) {
        return false;
    }
    std::setvbuf(out.get(), buffer.data(), _IOFBF, buffer.size());
    for (std::uint64_t recno = 0; recno < record_count_; ++recno) {
        const varneth_test::Bytes block = Block(recno);
        if (std::fwrite(block.data(), 1, block.size(), out.get()) != block.size()) {
            return false;
        }
    }
    return std::fclose(out.release()) == 0;
}

}  // namespace varneth_bench
