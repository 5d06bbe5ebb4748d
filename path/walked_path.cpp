#include "path/walked_path.h"

void WalkedPath::KeepPrefix(std::size_t names, Prefix& prefix)
{
    TakeInPrefixNames();
    names = std::min(names, count_);
    prefix.end = end_;
    const std::size_t length = names > 0 ? names_[names - 1].start + names_[names - 1].length
                                         : (end_ == End::kOrphan ? 1 + kOrphanFolder.size() : 0);
    prefix.text.assign(text_, 0, length);
    prefix.names.assign(names_.begin(), names_.begin() + static_cast<std::ptrdiff_t>(names));
}

// The prefix's names copied in front of the walk's own.
void WalkedPath::TakeInPrefixNames()
{
    if (prefix_count_ == 0) {
        return;
    }
    std::copy_backward(names_.begin(), names_.begin() + static_cast<std::ptrdiff_t>(count_ - prefix_count_),
                       names_.begin() + static_cast<std::ptrdiff_t>(count_));
    std::copy(prefix_names_, prefix_names_ + prefix_count_, names_.begin());
    prefix_count_ = 0;
    prefix_names_ = nullptr;
}
