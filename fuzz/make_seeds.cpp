// Writes the fuzz targets' starting inputs (fuzz/seeds.h):
//
//   make_fuzz_seeds DIR     (fills DIR/record, DIR/number, DIR/run and DIR/image)
//
// Real records and $MFT files are not copied here: the run script hands their
// directory to the fuzzers as a further, read-only corpus.

#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "fuzz/seeds.h"

namespace {

void WriteSeeds(const std::filesystem::path& dir, const std::vector<fuzz_seeds::Seed>& seeds)
{
    std::filesystem::create_directories(dir);
    for (const fuzz_seeds::Seed& seed : seeds) {
        std::ofstream out(dir / seed.name, std::ios::binary | std::ios::trunc);
        out << seed.bytes;
        if (!out) {
            throw std::runtime_error("cannot write " + (dir / seed.name).string());
        }
    }
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_fuzz_seeds DIR\n");
        return 2;
    }
    try {
        const std::filesystem::path root = argv[1];
        WriteSeeds(root / "record", fuzz_seeds::RecordSeeds());
        WriteSeeds(root / "number", fuzz_seeds::NumberSeeds());
        WriteSeeds(root / "run", fuzz_seeds::RunSeeds());
        WriteSeeds(root / "image", fuzz_seeds::ImageSeeds());
    } catch (const std::exception& error) {
        std::fprintf(stderr, "make_fuzz_seeds: %s\n", error.what());
        return 1;
    }
    return 0;
}
