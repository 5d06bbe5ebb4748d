#include "path/full_path.h"

#include "mft/record_source.h"
#include "path/full_path_resolver.h"

namespace {

// One walk reads at most one record a pass: a cache of that many steps holds
// all a single call can use. Names past the byte cap are read again from the
// file, which gives the same path (the cache only saves reads); 8 KiB keeps
// fifty names of up to 160 bytes.
constexpr std::size_t kStepsOfOneWalk = full_path_pass::kMaxPasses;
constexpr std::size_t kNameBytesOfOneWalk = std::size_t{8} << 10;
// Memos serve later calls only.
constexpr std::size_t kMemosOfOneWalk = 1;

}  // namespace

wxString GetFullPathString(wxFile& mft_file, std::uint64_t mft_recno, Diagnostics& diagnostics, std::size_t record_size)
{
    // One resolver a thread, reset before each call: the walk remembers
    // nothing from other calls, and no call pays for making its caches.
    thread_local FullPathResolver walk(kStepsOfOneWalk, kNameBytesOfOneWalk, kMemosOfOneWalk);
    walk.Reset();
    const std::string& path =
        walk.Resolve(RecordSource(mft_file.fd(), record_size), mft_recno, nullptr, diagnostics).text();
    return wxString::FromUTF8(path.data(), path.size());
}
