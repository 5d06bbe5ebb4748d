// Times record decoding alone, the work of the tool's decoding side: every
// record of an $MFT file that the record loop would decode goes through
// CreateMFTFileRecord into one record object used again and again, as the
// loop uses its own. The file is read into memory first, and each pass
// decodes a fresh copy of it (fixups are applied in place), so neither the
// disk nor the copy is timed. Prints records per second and nanoseconds per
// record for each pass, and the best pass. Run it under callgrind for the
// instruction counts (one pass is enough there).
//
//   decode_records [--passes N] MFTFILE

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include <wx/init.h>

#include "mft/mft_file_record.h"
#include "mft/record_construction.h"
#include "mft/record_size.h"
#include "mft/record_source.h"

namespace {

struct PassResult {
    std::uint64_t decoded = 0;
    std::uint64_t failed = 0;
    double seconds = 0;
};

// The records the record loop hands to the decoder: those that begin with
// "FILE" and have held an attribute.
PassResult DecodeAll(std::vector<unsigned char>& image, std::size_t record_size)
{
    MFTFileRecord record;
    Diagnostics lines;  // the lines of records that fail are the tool's business, not the timing's
    PassResult result;
    const auto start = std::chrono::steady_clock::now();
    for (std::size_t offset = 0; offset + record_size <= image.size(); offset += record_size) {
        unsigned char* block = image.data() + offset;
        const ByteReader reader(block, record_size);
        if (!HasFileSignature(reader) || HasNoAttributes(reader)) {
            continue;
        }
        record.Clear();
        lines.clear();
        if (CreateMFTFileRecord(block, &record, offset / record_size, lines, record_size) == 0) {
            ++result.decoded;
        } else {
            ++result.failed;
        }
    }
    result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return result;
}

}  // namespace

int main(int argc, char** argv)
{
    int passes = 3;
    int arg = 1;
    if (argc == 4 && std::strcmp(argv[1], "--passes") == 0) {
        passes = std::atoi(argv[2]);
        arg = 3;
    }
    if (argc - arg != 1 || passes < 1) {
        std::fprintf(stderr, "usage: decode_records [--passes N] MFTFILE\n");
        return 2;
    }
    wxInitializer wx;
    std::ifstream in(argv[arg], std::ios::binary | std::ios::ate);
    std::vector<unsigned char> pristine(in ? static_cast<std::size_t>(in.tellg()) : 0);
    in.seekg(0);
    if (!in.read(reinterpret_cast<char*>(pristine.data()), static_cast<std::streamsize>(pristine.size())) ||
        pristine.empty()) {
        std::fprintf(stderr, "decode_records: cannot read %s\n", argv[arg]);
        return 1;
    }
    const std::size_t record_size = RecordSizeOfFirstRecord(ByteReader(pristine.data(), pristine.size()));
    std::printf("%s: %zu records of %zu bytes\n", argv[arg], pristine.size() / record_size, record_size);

    double best = 0;
    for (int pass = 1; pass <= passes; ++pass) {
        std::vector<unsigned char> image = pristine;
        const PassResult result = DecodeAll(image, record_size);
        const double per_second = static_cast<double>(result.decoded + result.failed) / result.seconds;
        best = per_second > best ? per_second : best;
        std::printf("pass %d: %llu decoded, %llu failed, %.3f s, %.0f records/s, %.1f ns/record\n", pass,
                    static_cast<unsigned long long>(result.decoded), static_cast<unsigned long long>(result.failed),
                    result.seconds, per_second, 1e9 / per_second);
    }
    std::printf("best: %.0f records/s\n", best);
    return 0;
}
