#include "pipeline/body_file_lines.h"

#include "pipeline/string_line_sink.h"

namespace {

// Hard links in other folders are few beside the report's directories: a
// small cache does.
constexpr std::size_t kLinkPathSteps = std::size_t{1} << 16;
constexpr std::size_t kLinkPathNameBytes = std::size_t{1} << 20;

}  // namespace

void BodyFileLines::Append(const MFTFileRecord& record, const std::string& full_path_utf8, std::string& out)
{
    StringLineSink sink(out);
    lines_.AppendRecordLines(sink, record, full_path_utf8, *this);
}

std::string_view BodyFileLines::WalkPathOf(std::uint64_t recno)
{
    if (!link_paths_) {
        link_paths_ = std::make_unique<FullPathResolver>(kLinkPathSteps, kLinkPathNameBytes);
    }
    // A run with -b prints what a run without it prints: this walk's lines
    // are not logged.
    link_path_lines_.clear();
    return link_paths_->Resolve(mft_file_, recno, nullptr, link_path_lines_);
}
