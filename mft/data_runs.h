#ifndef VARNETH_MFT_DATA_RUNS_H
#define VARNETH_MFT_DATA_RUNS_H

// The run list (mapping pairs) of a non-resident attribute: where on the
// volume each stretch of the attribute's clusters lies. Each pair is a
// header byte (low half: bytes of the length, high half: bytes of the
// offset), the run's length in clusters, and its first cluster as a signed
// distance from the previous run's (no offset bytes: a sparse run); a zero
// header byte ends the list.

#include <cstdint>
#include <vector>

#include "base/diagnostics.h"
#include "mft/byte_reader.h"

struct DataRun {
    std::uint64_t vcn = 0;       // the run's first cluster within the attribute
    std::uint64_t clusters = 0;  // never 0
    bool sparse = false;
    std::uint64_t lcn = 0;       // its first cluster on the volume (not sparse)
};

// Appends the runs of the list in pairs, the first at start_vcn. A pair
// whose fields do not fit, a length of zero, a cluster number below zero or
// past 2^60, or clusters past last_vcn end the list: false, said in
// diagnostics, and the runs before it are kept. The list is read once, front
// to back, so no list can make it loop.
bool DecodeDataRuns(ByteReader pairs, std::uint64_t start_vcn, std::uint64_t last_vcn, std::vector<DataRun>& runs,
                    Diagnostics& diagnostics);

#endif
