#include "path/full_path.h"

#include <memory>

#include "mft/record_source.h"
#include "path/full_path_resolver.h"

namespace {

// One walk reads at most one record a pass: caches of that size hold all a
// single call can use.
constexpr std::size_t kStepsOfOneWalk = full_path_pass::kMaxPasses;
constexpr std::size_t kNameBytesOfOneWalk = std::size_t{64} << 10;

}  // namespace

wxString GetFullPathString(wxFile& mft_file, std::uint64_t mft_recno, std::size_t record_size)
{
    const auto walk = std::make_unique<FullPathResolver>(kStepsOfOneWalk, kNameBytesOfOneWalk);
    const std::string& path = walk->Resolve(RecordSource(mft_file.fd(), record_size), mft_recno, nullptr);
    return wxString::FromUTF8(path.data(), path.size());
}
