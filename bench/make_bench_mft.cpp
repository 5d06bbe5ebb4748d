// Writes a realistic $MFT for the benchmark, the same for the same seed.
//
//   make_bench_mft [--seed N] [--record-size 1024|4096] [--stats] RECORDS OUTPUT

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "bench/mft_generator.h"

using varneth_bench::BlockKind;
using varneth_bench::MftGenerator;

namespace {

int Usage()
{
    std::fprintf(stderr, "usage: make_bench_mft [--seed N] [--record-size 1024|4096] [--stats] RECORDS OUTPUT\n");
    return 2;
}

bool ParseCount(const char* text, std::uint64_t& value)
{
    char* end = nullptr;
    errno = 0;
    value = std::strtoull(text, &end, 10);
    return errno == 0 && end != text && *end == '\0';
}

// What the plan holds: shares of each kind and the depth of the named rows.
void PrintStats(const MftGenerator& generator)
{
    std::uint64_t counts[6] = {};
    std::uint64_t rows = 0, depth_sum = 0, deepest = 0, deleted = 0;
    for (std::uint64_t recno = 0; recno < generator.record_count(); ++recno) {
        const BlockKind kind = generator.KindOf(recno);
        ++counts[static_cast<int>(kind)];
        std::uint64_t depth = 0;
        if (kind == BlockKind::kDirectory) {
            depth = generator.DirectoryDepth(recno);
        } else if (kind == BlockKind::kFile) {
            depth = generator.DirectoryDepth(generator.ParentOfFile(recno)) + 1;
            deleted += generator.FileDeleted(recno) ? 1 : 0;
        } else {
            continue;
        }
        ++rows;
        depth_sum += depth;
        deepest = depth > deepest ? depth : deepest;
    }
    const double total = static_cast<double>(generator.record_count());
    std::printf("directories %.1f%%, files %.1f%% (%.1f%% of them deleted), extension %.2f%%, "
                "never used %.2f%%, damaged %.2f%%\n",
                100.0 * counts[1] / total, 100.0 * counts[2] / total, 100.0 * deleted / (counts[2] ? counts[2] : 1),
                100.0 * counts[3] / total, 100.0 * counts[4] / total, 100.0 * counts[5] / total);
    std::printf("depth of named rows: mean %.2f, deepest %llu\n", rows ? double(depth_sum) / rows : 0.0,
                static_cast<unsigned long long>(deepest));
}

}  // namespace

int main(int argc, char** argv)
{
    std::uint64_t seed = 1;
    std::uint64_t record_size = varneth_test::kRecordSize;
    bool stats = false;
    int arg = 1;
    for (; arg < argc && argv[arg][0] == '-'; ++arg) {
        if (std::strcmp(argv[arg], "--stats") == 0) {
            stats = true;
        } else if (std::strcmp(argv[arg], "--seed") == 0 && arg + 1 < argc && ParseCount(argv[arg + 1], seed)) {
            ++arg;
        } else if (std::strcmp(argv[arg], "--record-size") == 0 && arg + 1 < argc &&
                   ParseCount(argv[arg + 1], record_size) &&
                   (record_size == varneth_test::kRecordSize || record_size == varneth_test::kLargeRecordSize)) {
            ++arg;
        } else {
            return Usage();
        }
    }
    std::uint64_t records = 0;
    if (argc - arg != 2 || !ParseCount(argv[arg], records) || records == 0 || records > 0xFFFFFFFFULL) {
        return Usage();
    }
    const MftGenerator generator(records, seed, record_size);
    if (stats) {
        PrintStats(generator);
    }
    if (!generator.WriteTo(argv[arg + 1])) {
        std::fprintf(stderr, "make_bench_mft: cannot write %s: %s\n", argv[arg + 1], std::strerror(errno));
        return 1;
    }
    return 0;
}
