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
    const RecordSource records(mft_file.fd(), record_size);
    // Its index of extension records is made only if a folder's list is not resident.
    const long long length = records.FileLength();
    const ExtensionRecordIndex index(records, length > 0 ? static_cast<std::uint64_t>(length) / record_size : 0);
    ExtensionRecordReader extensions(records, index);
    walk.ReadExtensionRecordsWith(&extensions);
    const std::string& path = walk.Resolve(records, mft_recno, nullptr, diagnostics).text();
    walk.ReadExtensionRecordsWith(nullptr);
    return wxString::FromUTF8(path.data(), path.size());
}
