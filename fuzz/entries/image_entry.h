#ifndef VARNETH_FUZZ_ENTRIES_IMAGE_ENTRY_H
#define VARNETH_FUZZ_ENTRIES_IMAGE_ENTRY_H

// One fuzz input as a whole disk or volume image, run through the tool as
// the whole-run entry runs an $MFT file, with the same promises checked
// after it. Bytes 0 and 1 (boot code in an MBR, the jump of an NTFS boot
// sector: nothing that reads an image looks at them) pick the switches: byte
// 0 the run mode, as byte 8 does for an $MFT file, and byte 1 no -p, -p 1
// or -p 2.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/entries/run_entry.h"
#include "mft/byte_reader.h"

namespace fuzz_entry {

constexpr std::size_t kImageModeByte = 0;
constexpr std::size_t kImagePartitionByte = 1;

inline std::string FuzzImageRun(const std::uint8_t* data, std::size_t size, const std::string& dir,
                                int console_fd = -1)
{
    static const std::vector<const char*> kPartitionSwitches[] = {{}, {"-p", "1"}, {"-p", "2"}};
    ByteReader bytes(data, size);
    const RunMode& mode = RunModes()[bytes.U8At(kImageModeByte) % RunModes().size()];
    const auto& partition = kPartitionSwitches[bytes.U8At(kImagePartitionByte) % 3];
    return CheckedRun(data, size, mode, partition, dir, console_fd);
}

}  // namespace fuzz_entry

#endif
