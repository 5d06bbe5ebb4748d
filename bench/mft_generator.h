#ifndef VARNETH_BENCH_MFT_GENERATOR_H
#define VARNETH_BENCH_MFT_GENERATOR_H

// A realistic $MFT of any size, the same for the same seed: the system
// records 0 to 15 with the root "." at 5, then a directory tree (about 12% of
// the records, mean depth about 7, a tail down to 30) whose files arrive in
// runs that share a directory, as installers and copies leave them. Names are
// Win32 and DOS pairs, single Win32-and-DOS names, POSIX names and a few
// non-ASCII ones; about 5% of the files carry named streams, about 8% of the
// records are deleted, data is resident or not; a few extension records,
// never-used blocks and damaged blocks without "FILE" are mixed in.
//
// The plan (which record is what, and every directory's parent) is made once
// and is small; records are then built one at a time, so a file of millions
// of records is written without being held in memory.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "support/record_builder.h"

namespace varneth_bench {

enum class BlockKind : std::uint8_t {
    kSystem,     // records 0 to 15
    kDirectory,
    kFile,
    kExtension,  // an extension record of an earlier file
    kNeverUsed,  // all zero
    kDamaged,    // neither zero nor "FILE"
};

class MftGenerator {
public:
    // record_size: 1024, or 4096 for the records of a 4K-sector volume (the
    // same attributes, more room after them).
    MftGenerator(std::uint64_t record_count, std::uint64_t seed,
                 std::size_t record_size = varneth_test::kRecordSize);

    std::uint64_t record_count() const { return record_count_; }
    BlockKind KindOf(std::uint64_t recno) const { return kinds_[recno]; }

    // The bytes of one block. Any order, any number of times.
    varneth_test::Bytes Block(std::uint64_t recno) const;

    // Writes every block to the file; false (errno set) when it cannot.
    bool WriteTo(const std::string& path) const;

    // Depth below the root of a directory (1 for a child of the root), 0
    // for anything else; and the parent a file's names point to.
    unsigned DirectoryDepth(std::uint64_t recno) const;
    std::uint64_t ParentOfFile(std::uint64_t recno) const;
    bool FileDeleted(std::uint64_t recno) const;

private:
    struct Directory {
        std::uint32_t recno;
        std::uint32_t parent;  // record number
        std::uint8_t depth;
    };

    void PlanKinds();
    void PlanDirectories();
    void PlanFileParents();
    const Directory* FindDirectory(std::uint64_t recno) const;
    std::uint64_t RunParent(std::uint64_t recno) const;
    varneth_test::Bytes DirectoryBlock(std::uint64_t recno) const;
    varneth_test::Bytes FileBlock(std::uint64_t recno) const;
    varneth_test::Bytes ExtensionBlock(std::uint64_t recno) const;
    varneth_test::Bytes DamagedBlock(std::uint64_t recno) const;

    std::uint64_t record_count_;
    std::uint64_t seed_;
    std::size_t record_size_;
    varneth_test::Bytes system_;  // records 0 to 15
    std::vector<BlockKind> kinds_;
    std::vector<Directory> directories_;  // by record number
    // Files come in runs sharing a parent: the first record of each run and
    // the directory its files go to.
    std::vector<std::uint32_t> run_starts_;
    std::vector<std::uint32_t> run_parents_;
};

}  // namespace varneth_bench

#endif
