#ifndef VARNETH_BENCH_GENERATOR_NAMES_H
#define VARNETH_BENCH_GENERATOR_NAMES_H

// Names as users and installers leave them, and the $FILE_NAME entries a
// volume stores for them (one Win32-and-DOS name, a Win32 and DOS pair in
// either order, a POSIX name, or a Win32 name alone where short names are off).

#include <cstdint>
#include <string>
#include <vector>

#include "bench/generator_random.h"

namespace varneth_bench {

struct NameEntry {
    std::u16string name;
    std::uint8_t name_space;
};

// UTF-8 names, about 3% of them with characters beyond ASCII.
std::string MakeFileName(Random& random);
std::string MakeDirectoryName(Random& random);

// The entries of one record's names, in record order.
std::vector<NameEntry> NameEntries(const std::string& name, Random& random);

}  // namespace varneth_bench

#endif
