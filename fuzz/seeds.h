#ifndef VARNETH_FUZZ_SEEDS_H
#define VARNETH_FUZZ_SEEDS_H

// The fuzz targets' starting inputs, made with the test record builder.
// make_fuzz_seeds writes them to files; the normal test suite
// (tests/app/fuzz_regression_test.cpp) replays them through the fuzz
// entries, under ThreadSanitizer too.

#include <string>
#include <vector>

namespace fuzz_seeds {

struct Seed {
    std::string name;
    std::string bytes;
};

// As many as fuzz_entry::RunModes() holds (the seed maker does not link the
// run; the replay test checks the two agree).
constexpr int kRunModes = 11;
// The failures byte 9 picks in fuzz_run (fuzz_entry::FaultOf), none
// not counted.
constexpr int kRunFaults = 5;

// The rows' formats times the two name lists that byte 8 picks in
// fuzz_record (fuzz_entry::ChoiceOf).
constexpr int kRecordChoices = 6;

// Small $MFT images (once per choice) and single records for fuzz_record.
std::vector<Seed> RecordSeeds();
// Style, number and second style for fuzz_number_formatter.
std::vector<Seed> NumberSeeds();
// Whole $MFT files, once per run mode (byte 8 picks it), and once per
// failure (byte 9) in a mode of one output and in one of them all, for
// fuzz_run.
std::vector<Seed> RunSeeds();
// Small volumes and disks, once per run mode (byte 0 picks it, byte 1 the
// volume), for fuzz_image.
std::vector<Seed> ImageSeeds();

}  // namespace fuzz_seeds

#endif
